// The standard curve drawn with Qt Charts: every standard well as a point
// (replicates one above the other) and the fitted curve through them, on
// a linear or logarithmic concentration axis.
#pragma once

#include <QString>

#include "analysis/plate_analysis.h"

class QChartView;
class QWidget;

QChartView* MakeStandardCurveView(QWidget* parent);

// Replaces what the view shows. On a logarithmic axis a zero concentration
// has no place: its points are left out; a linear axis starts at zero.
// Axes end and tick at round values, labels with the chosen decimal mark.
void ShowStandardCurve(QChartView* view, const analysis::CurveFit& fit, bool logarithmic,
                       const QString& unit, bool decimalComma = false);
