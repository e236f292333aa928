#include "analysis_ui/standard_curve_chart.h"

#include <QLocale>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/number_format.h"
#include "report/curve_axes.h"

namespace {

constexpr int kCurveSteps = 200;

// The report's scale (curve_axes.h): the same ends and numbered ticks.
void SetScale(QValueAxis* axis, const AxisScale& scale) {
  axis->setRange(scale.from, scale.to);
  if (scale.ticks.size() < 2) return;
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(0);
  axis->setTickInterval(scale.ticks[1] - scale.ticks[0]);
}

}  // namespace

QChartView* MakeStandardCurveView(QWidget* parent) {
  auto* chart = new QChart;
  chart->legend()->setAlignment(Qt::AlignBottom);
  auto* view = new QChartView(chart, parent);
  view->setObjectName(QStringLiteral("curve"));
  view->setRenderHint(QPainter::Antialiasing);
  view->setMinimumSize(420, 300);
  return view;
}

void ShowStandardCurve(QChartView* view, const analysis::CurveFit& fit, bool logarithmic,
                       const QString& unit, bool decimalComma) {
  QChart* chart = view->chart();
  chart->setLocalizeNumbers(true);
  // The decimal mark as chosen, no thousands separator: "1000" as the report has it.
  QLocale locale = decimalComma ? QLocale(QLocale::German) : QLocale::c();
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  chart->setLocale(locale);
  chart->removeAllSeries();
  for (QAbstractAxis* axis : chart->axes()) {
    chart->removeAxis(axis);
    delete axis;
  }

  auto* points = new QScatterSeries;
  points->setName(QStringLiteral("Standards"));
  points->setMarkerSize(8);
  double low = 0, high = 0;
  std::vector<double> concentrations, responses;
  bool any = false;
  for (const analysis::FitPoint& point : fit.points) {
    if (logarithmic && !(point.concentration > 0)) continue;
    points->append(point.concentration, point.response);
    concentrations.push_back(point.concentration);
    responses.push_back(point.response);
    low = any ? std::min(low, point.concentration) : point.concentration;
    high = any ? std::max(high, point.concentration) : point.concentration;
    any = true;
  }
  chart->addSeries(points);

  // With localized numbers Qt Charts reads only a format with a precision:
  // "%g" gave empty labels, "%.6g" writes what the report's "%g" writes.
  QAbstractAxis* xAxis = nullptr;
  if (logarithmic) {
    auto* log = new QLogValueAxis;
    log->setBase(10);
    log->setMinorTickCount(8);
    log->setLabelFormat(QStringLiteral("%.6g"));
    xAxis = log;
  } else {
    auto* linear = new QValueAxis;
    linear->setLabelFormat(QStringLiteral("%.6g"));
    xAxis = linear;
  }
  xAxis->setTitleText(unit.isEmpty() ? QStringLiteral("Concentration")
                                     : QStringLiteral("Concentration [%1]").arg(unit));
  auto* yAxis = new QValueAxis;
  yAxis->setTitleText(QStringLiteral("Absorbance, blank-corrected"));
  yAxis->setLabelFormat(QStringLiteral("%.6g"));
  chart->addAxis(xAxis, Qt::AlignBottom);
  chart->addAxis(yAxis, Qt::AlignLeft);
  points->attachAxis(xAxis);
  points->attachAxis(yAxis);
  if (any) {
    const AxisScale along = ConcentrationScale(concentrations, logarithmic);
    if (logarithmic) {
      static_cast<QLogValueAxis*>(xAxis)->setRange(along.from, along.to);
    } else {
      SetScale(static_cast<QValueAxis*>(xAxis), along);
    }
    SetScale(yAxis, ResponseScale(responses));
  }

  if (fit.fitted && any && high > low) {
    auto* curve = new QLineSeries;
    curve->setName(QStringLiteral("Fit"));
    for (int step = 0; step <= kCurveSteps; ++step) {
      const double share = static_cast<double>(step) / kCurveSteps;
      // Even steps on the axis as drawn, so the curve looks smooth on both.
      const double x = logarithmic ? low * std::pow(high / low, share) : low + (high - low) * share;
      const double y = fit.Response(x);
      if (std::isfinite(y)) curve->append(x, y);
    }
    chart->addSeries(curve);
    curve->attachAxis(xAxis);
    curve->attachAxis(yAxis);
  }
}
