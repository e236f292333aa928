#include "report/kinetic_curves.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "results/shared_state.h"

namespace {

using analysis::KineticMode;

// The steepest window's line, in OD, through the mean of the window's
// points (a least-squares line passes through it) with the found slope.
struct WindowLine {
  double meanT = 0, meanY = 0, slope = 0;  // Y: mOD (rate) or ln OD (growth)
  KineticMode mode = KineticMode::Rate;
  double At(double t) const {
    const double y = meanY + slope * (t - meanT);
    return mode == KineticMode::Growth ? std::exp(y) : y / 1000;
  }
};

std::optional<WindowLine> LineOf(const WellCurve& curve) {
  const analysis::KineticWell* well = curve.result;
  if (!well || !well->rate || !well->windowStart || !well->windowEnd) return std::nullopt;
  WindowLine line;
  line.mode = curve.mode;
  line.slope = *well->rate;
  int count = 0;
  for (const QPointF& p : curve.points) {
    if (p.x() < *well->windowStart || p.x() > *well->windowEnd) continue;
    if (curve.mode == KineticMode::Growth && p.y() <= 0) continue;
    line.meanT += p.x();
    line.meanY += curve.mode == KineticMode::Growth ? std::log(p.y()) : p.y() * 1000;
    ++count;
  }
  if (count == 0) return std::nullopt;
  line.meanT /= count;
  line.meanY /= count;
  return line;
}

}  // namespace

QString WellLabel(int well) {
  return QChar(QLatin1Char(static_cast<char>('A' + well / 12))) + QString::number(well % 12 + 1);
}

WellCurve WellCurveOf(const analysis::KineticAnalysis& analysis,
                      const std::vector<analysis::KineticRead>& reads, int well) {
  WellCurve curve;
  curve.mode = analysis.options.mode;
  for (const analysis::KineticWell& result : analysis.wells) {
    if (result.well == well) curve.result = &result;
  }
  const size_t count = std::min(reads.size(), analysis.times.size());
  for (size_t i = 0; i < count; ++i) {
    const analysis::KineticRead& read = reads[i];
    if (read.values[well] == kNoValue || read.overRange[well]) continue;
    const double blank = analysis.blanks.empty() ? 0 : analysis.blanks[i];
    if (std::isnan(blank)) continue;
    curve.points.emplace_back(analysis.times[i], read.values[well] / 1000.0 - blank);
  }
  return curve;
}

CurveSpan SpanOf(const std::vector<WellCurve>& curves) {
  CurveSpan span{std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest(),
                 std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest()};
  for (const WellCurve& curve : curves) {
    for (const QPointF& p : curve.points) {
      span.t0 = std::min(span.t0, p.x());
      span.t1 = std::max(span.t1, p.x());
      span.y0 = std::min(span.y0, p.y());
      span.y1 = std::max(span.y1, p.y());
    }
  }
  if (span.t0 > span.t1) return CurveSpan{};
  span.y0 = std::min(span.y0, 0.0);
  if (span.t1 - span.t0 < 1e-9) span.t1 = span.t0 + 1;
  if (span.y1 - span.y0 < 1e-6) span.y1 = span.y0 + 0.1;
  return span;
}

void DrawWellCurve(QPainter& painter, const QRectF& box, const WellCurve& curve,
                   const CurveSpan& span, bool large) {
  const auto at = [&](double t, double y) {
    return QPointF(box.left() + (t - span.t0) / (span.t1 - span.t0) * box.width(),
                   box.bottom() - (y - span.y0) / (span.y1 - span.y0) * box.height());
  };
  painter.save();
  painter.setClipRect(box.adjusted(-1, -1, 1, 1));
  painter.setRenderHint(QPainter::Antialiasing, large);
  const QColor ink = painter.pen().color();

  if (large) {
    painter.setPen(QPen(ink, 1));
    painter.drawLine(at(span.t0, span.y0), at(span.t1, span.y0));
    painter.drawLine(at(span.t0, span.y0), at(span.t0, span.y1));
  }
  const double dot = large ? 3 : 1.2;
  painter.setPen(Qt::NoPen);
  painter.setBrush(ink);
  // A long run puts many reads on one pixel: each is drawn once, and the
  // small charts' dots (a few pixels) as squares, which fill far faster.
  QPoint lastPixel(std::numeric_limits<int>::min(), 0);
  for (const QPointF& p : curve.points) {
    const QPointF centre = at(p.x(), p.y());
    const QPoint pixel = centre.toPoint();
    if (pixel == lastPixel) continue;
    lastPixel = pixel;
    if (large) {
      painter.drawEllipse(centre, dot, dot);
    } else {
      painter.fillRect(QRectF(centre.x() - dot, centre.y() - dot, 2 * dot, 2 * dot), ink);
    }
  }

  const analysis::KineticWell* well = curve.result;
  const QColor fitColour = large ? QColor(200, 30, 30) : ink;
  if (well && well->logistic) {
    // The fitted logistic over the whole series.
    QPainterPath path;
    const int steps = large ? 200 : 24;
    for (int i = 0; i <= steps; ++i) {
      const double t = span.t0 + (span.t1 - span.t0) * i / steps;
      const QPointF point = at(t, well->logistic->At(t));
      i == 0 ? path.moveTo(point) : path.lineTo(point);
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(fitColour, large ? 2 : 1));
    painter.drawPath(path);
  }
  if (const auto line = LineOf(curve)) {
    painter.setBrush(Qt::NoBrush);
    if (large && well->lag) {
      // The tangent from the lag, where it meets the first level, to the window.
      painter.setPen(QPen(QColor(30, 90, 200), 1, Qt::DashLine));
      QPainterPath tangent;
      const int steps = curve.mode == KineticMode::Growth ? 60 : 1;
      for (int i = 0; i <= steps; ++i) {
        const double t = *well->lag + (*well->windowEnd - *well->lag) * i / steps;
        const QPointF point = at(t, line->At(t));
        i == 0 ? tangent.moveTo(point) : tangent.lineTo(point);
      }
      painter.drawPath(tangent);
    }
    if (!well->logistic || large) {
      painter.setPen(QPen(large ? QColor(30, 90, 200) : fitColour, large ? 3 : 1.5));
      QPainterPath window;
      const int steps = curve.mode == KineticMode::Growth ? 20 : 1;
      for (int i = 0; i <= steps; ++i) {
        const double t = *well->windowStart + (*well->windowEnd - *well->windowStart) * i / steps;
        const QPointF point = at(t, line->At(t));
        i == 0 ? window.moveTo(point) : window.lineTo(point);
      }
      painter.drawPath(window);
    }
  }
  painter.restore();
}
