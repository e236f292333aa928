// The logistic growth curve N(t) = K / (1 + ((K - N0) / N0) e^(-r t))
// fitted to a well's optical densities by least squares, with the same
// Levenberg-Marquardt run as the standard curves.
#pragma once

#include <optional>
#include <vector>

namespace analysis {

// The curve in the solver's form: N(t) = k / (1 + e^(b - r t)), where
// b = ln((K - N0) / N0). N0 and the midpoint follow from it.
struct GrowthLogistic {
  double k = 0;
  double b = 0;
  double r = 0;  // per unit of t

  double At(double t) const;
  double N0() const;
  double TMid() const { return b / r; }  // where N = K / 2
  // The area under the curve from t0 to t1, in closed form.
  double Area(double t0, double t1) const;
};

struct LogisticFitResult {
  bool converged = false;
  GrowthLogistic curve;
  double rss = 0;  // residual sum of squares
};

// Fits (t, y); without a start the start values are read off the data:
// K the largest y, r from rMaxHint (or the time span), b from the first y.
LogisticFitResult FitGrowthLogistic(const std::vector<double>& t, const std::vector<double>& y,
                                    std::optional<GrowthLogistic> start = std::nullopt,
                                    double rHint = 0);

}  // namespace analysis
