// The 4- and 5-parameter logistic curve, y = d + (a - d) / (1 + (x/c)^b)^g
// (g = 1 for the 4PL), in forms that stay finite at x = 0 and far out on
// either asymptote.
#pragma once

#include <optional>

namespace analysis {

// Derivatives of the response in the solver's parameters (a, b, ln c, d, ln g).
struct LogisticGradient {
  double da = 0, db = 0, dLogC = 0, dd = 0, dLogG = 0;
};

struct LogisticCurve {
  double a = 0, b = 1, c = 1, d = 0, g = 1;

  double Response(double x) const;
  LogisticGradient Gradient(double x) const;
  // nullopt where the curve never reaches y: at or beyond an asymptote.
  std::optional<double> Concentration(double y) const;
  // The responses the curve approaches at zero and at infinite concentration.
  double ZeroEnd() const { return b >= 0 ? a : d; }
  double FarEnd() const { return b >= 0 ? d : a; }
};

}  // namespace analysis
