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

namespace {

constexpr int kCurveSteps = 200;
constexpr int kLinearTicks = 5;

// Ticks at round values (anchored at zero) over low..high, with room
// around a point on a round border, so the end points are drawn whole.
void SetRoundRange(QValueAxis* axis, double low, double high) {
  if (!(high > low)) high = low + 1;
  const std::vector<double> ticks = analysis::RoundTicks(low, high, kLinearTicks);
  if (ticks.size() < 2) return;
  const double step = ticks[1] - ticks[0];
  double from = ticks.front();
  double to = ticks.back();
  if (low - from < step * 0.05) from -= step / 4;
  if (to - high < step * 0.05) to += step / 4;
  axis->setRange(from, to);
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(0);
  axis->setTickInterval(step);
}

// Whole decades around the points: every decade labelled, the end points
// clear of the border.
void SetDecadeRange(QLogValueAxis* axis, double low, double high) {
  double from = std::pow(10, std::floor(std::log10(low)));
  double to = std::pow(10, std::ceil(std::log10(high)));
  if (low / from < 1.15) from /= 10;
  if (to / high < 1.15) to *= 10;
  axis->setRange(from, to);
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
  chart->setLocale(decimalComma ? QLocale(QLocale::German) : QLocale::c());
  chart->removeAllSeries();
  for (QAbstractAxis* axis : chart->axes()) {
    chart->removeAxis(axis);
    delete axis;
  }

  auto* points = new QScatterSeries;
  points->setName(QStringLiteral("Standards"));
  points->setMarkerSize(8);
  double low = 0, high = 0, lowest = 0, highest = 0;
  bool any = false;
  for (const analysis::FitPoint& point : fit.points) {
    if (logarithmic && !(point.concentration > 0)) continue;
    points->append(point.concentration, point.response);
    lowest = any ? std::min(lowest, point.response) : point.response;
    highest = any ? std::max(highest, point.response) : point.response;
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
  if (any) {
    if (logarithmic) {
      SetDecadeRange(static_cast<QLogValueAxis*>(xAxis), low, high);
    } else {
      SetRoundRange(static_cast<QValueAxis*>(xAxis), std::min(0.0, low), high);
    }
    SetRoundRange(yAxis, std::min(0.0, lowest), highest);
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
