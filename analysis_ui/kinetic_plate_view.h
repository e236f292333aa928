// The plate of curves: 8 x 12 small charts, one per well, each on the heat
// map colour of its rate. Painted in one pass, so a new read redraws fast.
#pragma once

#include <QWidget>
#include <vector>

#include "report/kinetic_curves.h"

class KineticPlateView : public QWidget {
  Q_OBJECT

 public:
  explicit KineticPlateView(QWidget* parent = nullptr);

  // The series and its analysis; both must outlive the next call.
  void SetSeries(const analysis::KineticAnalysis* analysis,
                 const std::vector<analysis::KineticRead>* reads);
  // Where a well's chart is drawn now.
  QRect WellRect(int well) const;
  QSize sizeHint() const override { return {720, 440}; }

 signals:
  void WellClicked(int well);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QRectF Grid() const;
  std::vector<WellCurve> curves_;
  CurveSpan span_;
  double low_ = 0, high_ = 0;
};
