// The standard curve: one model fitted to the standard wells by weighted
// least squares. Linear fits are solved directly, the logistic ones by
// Eigen's Levenberg-Marquardt solver from starting values read off the data.
#pragma once

#include <vector>

#include "analysis/plate_analysis.h"

namespace analysis {

// points: the standard wells with a value (fitted and residual unset).
CurveFit FitStandardCurve(std::vector<FitPoint> points, CurveModel model, Weighting weighting);

}  // namespace analysis
