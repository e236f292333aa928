#include "analysis_ui/standard_curve_chart.h"

#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kCurveSteps = 200;

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
                       const QString& unit) {
  QChart* chart = view->chart();
  chart->removeAllSeries();
  for (QAbstractAxis* axis : chart->axes()) {
    chart->removeAxis(axis);
    delete axis;
  }

  auto* points = new QScatterSeries;
  points->setName(QStringLiteral("Standards"));
  points->setMarkerSize(8);
  double low = 0, high = 0;
  bool any = false;
  for (const analysis::FitPoint& point : fit.points) {
    if (logarithmic && !(point.concentration > 0)) continue;
    points->append(point.concentration, point.response);
    low = any ? std::min(low, point.concentration) : point.concentration;
    high = any ? std::max(high, point.concentration) : point.concentration;
    any = true;
  }
  chart->addSeries(points);

  QAbstractAxis* xAxis = nullptr;
  if (logarithmic) {
    auto* log = new QLogValueAxis;
    log->setBase(10);
    log->setMinorTickCount(8);
    log->setLabelFormat(QStringLiteral("%g"));
    xAxis = log;
  } else {
    auto* linear = new QValueAxis;
    linear->setLabelFormat(QStringLiteral("%g"));
    xAxis = linear;
  }
  xAxis->setTitleText(unit.isEmpty() ? QStringLiteral("Concentration")
                                     : QStringLiteral("Concentration [%1]").arg(unit));
  auto* yAxis = new QValueAxis;
  yAxis->setTitleText(QStringLiteral("Absorbance, blank-corrected"));
  yAxis->setLabelFormat(QStringLiteral("%.3g"));
  chart->addAxis(xAxis, Qt::AlignBottom);
  chart->addAxis(yAxis, Qt::AlignLeft);
  points->attachAxis(xAxis);
  points->attachAxis(yAxis);

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
