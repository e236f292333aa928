#include "report/curve_plate.h"

#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <limits>

#include "report/heat_map_scale.h"
#include "report/kinetic_curves.h"

namespace {

constexpr int kRows = 8, kColumns = 12;

}  // namespace

void PaintCurvePlate(QPainter& painter, const QRectF& box,
                     const analysis::KineticAnalysis& analysis,
                     const std::vector<analysis::KineticRead>& reads) {
  std::vector<WellCurve> curves;
  double low = std::numeric_limits<double>::max(), high = std::numeric_limits<double>::lowest();
  for (int well = 0; well < kRows * kColumns; ++well) {
    curves.push_back(WellCurveOf(analysis, reads, well));
    const WellCurve& curve = curves.back();
    if (curve.result && curve.result->rate) {
      low = std::min(low, *curve.result->rate);
      high = std::max(high, *curve.result->rate);
    }
  }
  const CurveSpan span = SpanOf(curves);
  painter.save();
  // The charts' dots and lines are sized in screen pixels: on paper, as on screen.
  const double pixel = painter.device() ? painter.device()->logicalDpiX() / 96.0 : 1.0;
  painter.scale(pixel, pixel);
  const QRectF area(box.topLeft() / pixel, box.size() / pixel);
  const double label = std::min(area.width(), area.height()) * 0.045;
  const QRectF grid(area.left() + label, area.top() + label, area.width() - label,
                    area.height() - label);
  const double w = grid.width() / kColumns, h = grid.height() / kRows;
  QFont font = painter.font();
  font.setPointSizeF(6.5 / pixel);  // points are the device's, before the scale
  painter.setFont(font);
  painter.setPen(Qt::black);
  for (int column = 0; column < kColumns; ++column) {
    painter.drawText(QRectF(grid.left() + column * w, area.top(), w, label), Qt::AlignCenter,
                     QString::number(column + 1));
  }
  for (int row = 0; row < kRows; ++row) {
    painter.drawText(QRectF(area.left(), grid.top() + row * h, label, h), Qt::AlignCenter,
                     QString(QLatin1Char(static_cast<char>('A' + row))));
  }
  const double inset = std::min(w, h) * 0.08;
  for (int well = 0; well < kRows * kColumns; ++well) {
    const QRectF cell(grid.left() + well % kColumns * w, grid.top() + well / kColumns * h, w, h);
    const WellCurve& curve = curves[static_cast<size_t>(well)];
    QColor background = Qt::white;
    if (curve.result && curve.result->rate) {
      background = HeatMapColour(HeatMapPosition(*curve.result->rate, low, high));
    }
    painter.fillRect(cell, background);
    painter.setPen(QPen(TextColourOn(background), 0));
    DrawWellCurve(painter, cell.adjusted(inset, inset, -inset, -inset), curve, span, false);
    painter.setPen(QPen(Qt::gray, 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(cell);
  }
  painter.restore();
}
