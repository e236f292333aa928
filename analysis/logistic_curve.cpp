#include "analysis/logistic_curve.h"

#include <cmath>

namespace analysis {

namespace {

// s = 1 / (1 + e^t) with t = b ln(x/c), as s, 1 - s and ln s, without
// overflow for large |t|.
struct Share {
  double s, rest, logS;
};

Share ShareAt(double t) {
  if (t >= 0) {
    const double e = std::exp(-t);
    return {e / (1 + e), 1 / (1 + e), -t - std::log1p(e)};
  }
  const double e = std::exp(t);
  return {1 / (1 + e), e / (1 + e), -std::log1p(e)};
}

// At x = 0 the share is 1 or 0 (b > 0 or b < 0): the curve sits on an
// asymptote and does not move with b or c.
Share ShareAtZero(double b) {
  if (b > 0) return {1, 0, 0};
  if (b < 0) return {0, 1, -INFINITY};
  return {0.5, 0.5, -std::log(2.0)};
}

}  // namespace

double LogisticCurve::Response(double x) const {
  const Share share = x > 0 ? ShareAt(b * (std::log(x) - std::log(c))) : ShareAtZero(b);
  const double sg = g == 1 ? share.s : std::exp(g * share.logS);
  return d + (a - d) * sg;
}

LogisticGradient LogisticCurve::Gradient(double x) const {
  const bool zero = x <= 0;
  const double logRatio = zero ? 0 : std::log(x) - std::log(c);
  const Share share = zero ? ShareAtZero(b) : ShareAt(b * logRatio);
  const double sg = g == 1 ? share.s : std::exp(g * share.logS);
  LogisticGradient gradient;
  gradient.da = sg;
  gradient.dd = 1 - sg;
  if (!zero) {
    // d(s^g)/dt = -g s^g (1 - s), t = b (ln x - ln c).
    const double dt = -(a - d) * g * sg * share.rest;
    gradient.db = dt * logRatio;
    gradient.dLogC = dt * -b;
  }
  gradient.dLogG = sg == 0 ? 0 : (a - d) * sg * share.logS * g;
  return gradient;
}

std::optional<double> LogisticCurve::Concentration(double y) const {
  // (x/c)^b = ((a - d) / (y - d))^(1/g) - 1, which must be above 0.
  const double ratio = (a - d) / (y - d);
  if (!(ratio > 0) || !std::isfinite(ratio)) return std::nullopt;
  const double power = (g == 1 ? ratio : std::pow(ratio, 1 / g)) - 1;
  if (!(power > 0) || !std::isfinite(power)) return std::nullopt;
  const double x = c * std::pow(power, 1 / b);
  if (!std::isfinite(x) || x <= 0) return std::nullopt;
  return x;
}

}  // namespace analysis
