#include "analysis_ui/kinetic_plate_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <limits>

#include "report/heat_map_scale.h"

namespace {

constexpr int kRows = 8, kColumns = 12;
constexpr int kHeader = 16;  // the row letters and column numbers

}  // namespace

KineticPlateView::KineticPlateView(QWidget* parent) : QWidget(parent) {
  setMinimumSize(480, 300);
  setMouseTracking(false);
  setToolTip(QStringLiteral("Click a well for its curve"));
}

void KineticPlateView::SetSeries(const analysis::KineticAnalysis* analysis,
                                 const std::vector<analysis::KineticRead>* reads) {
  curves_.clear();
  if (analysis && reads) {
    for (int well = 0; well < kRows * kColumns; ++well) {
      curves_.push_back(WellCurveOf(*analysis, *reads, well));
    }
  }
  span_ = SpanOf(curves_);
  low_ = std::numeric_limits<double>::max();
  high_ = std::numeric_limits<double>::lowest();
  for (const WellCurve& curve : curves_) {
    if (!curve.result || !curve.result->rate) continue;
    low_ = std::min(low_, *curve.result->rate);
    high_ = std::max(high_, *curve.result->rate);
  }
  update();
}

QRectF KineticPlateView::Grid() const {
  return QRectF(kHeader, kHeader, width() - kHeader - 1, height() - kHeader - 1);
}

QRect KineticPlateView::WellRect(int well) const {
  const QRectF grid = Grid();
  const double w = grid.width() / kColumns, h = grid.height() / kRows;
  return QRectF(grid.left() + well % kColumns * w, grid.top() + well / kColumns * h, w, h)
      .toAlignedRect();
}

void KineticPlateView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  const QRectF grid = Grid();
  const double w = grid.width() / kColumns, h = grid.height() / kRows;
  painter.setPen(palette().windowText().color());
  for (int column = 0; column < kColumns; ++column) {
    painter.drawText(QRectF(grid.left() + column * w, 0, w, kHeader), Qt::AlignCenter,
                     QString::number(column + 1));
  }
  for (int row = 0; row < kRows; ++row) {
    painter.drawText(QRectF(0, grid.top() + row * h, kHeader, h), Qt::AlignCenter,
                     QString(QLatin1Char(static_cast<char>('A' + row))));
  }
  for (int well = 0; well < kRows * kColumns; ++well) {
    const QRectF cell(grid.left() + well % kColumns * w, grid.top() + well / kColumns * h, w, h);
    QColor background = palette().base().color();
    if (well < static_cast<int>(curves_.size())) {
      const WellCurve& curve = curves_[static_cast<size_t>(well)];
      if (curve.result && curve.result->rate) {
        background = HeatMapColour(HeatMapPosition(*curve.result->rate, low_, high_));
      }
      painter.fillRect(cell, background);
      painter.setPen(TextColourOn(background));
      DrawWellCurve(painter, cell.adjusted(3, 3, -3, -3), curve, span_, false);
    } else {
      painter.fillRect(cell, background);
    }
    painter.setPen(palette().mid().color());
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(cell);
  }
}

void KineticPlateView::mousePressEvent(QMouseEvent* event) {
  const QRectF grid = Grid();
  const QPointF at = event->position();
  if (event->button() != Qt::LeftButton || !grid.contains(at)) return;
  const int column = std::clamp(
      static_cast<int>((at.x() - grid.left()) / (grid.width() / kColumns)), 0, kColumns - 1);
  const int row =
      std::clamp(static_cast<int>((at.y() - grid.top()) / (grid.height() / kRows)), 0, kRows - 1);
  emit WellClicked(row * kColumns + column);
}
