// One well's curve of a kinetic series as the plate of curves draws it:
// its blank-corrected points, the steepest window's line (or the logistic
// fit in growth mode) and, drawn large, the tangent that gives the lag.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QString>
#include <vector>

#include "analysis/kinetics.h"

class QPainter;

struct WellCurve {
  std::vector<QPointF> points;                    // time in the mode's unit, OD
  const analysis::KineticWell* result = nullptr;  // null: the layout leaves the well out
  analysis::KineticMode mode = analysis::KineticMode::Rate;
};

// The well's points, corrected as the analysis corrected them.
WellCurve WellCurveOf(const analysis::KineticAnalysis& analysis,
                      const std::vector<analysis::KineticRead>& reads, int well);

// The time and OD span every well is drawn in, so the small charts compare.
struct CurveSpan {
  double t0 = 0, t1 = 1, y0 = 0, y1 = 1;
};
CurveSpan SpanOf(const std::vector<WellCurve>& curves);

// Draws the curve into box; large adds the lag's tangent, axes and ticks.
void DrawWellCurve(QPainter& painter, const QRectF& box, const WellCurve& curve,
                   const CurveSpan& span, bool large);

// "A1", "H12".
QString WellLabel(int well);
