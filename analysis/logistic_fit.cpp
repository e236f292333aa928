#include "analysis/logistic_fit.h"

#include <algorithm>
#include <cmath>

#include "analysis/least_squares.h"

namespace analysis {

namespace {

// ln(e^x + e^y) without overflow.
double LogSumExp(double x, double y) {
  const double high = std::max(x, y);
  return high + std::log1p(std::exp(std::min(x, y) - high));
}

struct GrowthResiduals : Eigen::DenseFunctor<double> {
  const std::vector<double>& t;
  const std::vector<double>& y;

  GrowthResiduals(const std::vector<double>& times, const std::vector<double>& values)
      : DenseFunctor(3, static_cast<int>(times.size())), t(times), y(values) {}

  int operator()(const InputType& q, ValueType& r) const {
    const GrowthLogistic curve{q[0], q[1], q[2]};
    for (size_t i = 0; i < t.size(); ++i) {
      r[static_cast<Eigen::Index>(i)] = curve.At(t[i]) - y[i];
    }
    return 0;
  }

  int df(const InputType& q, JacobianType& jacobian) const {
    for (size_t i = 0; i < t.size(); ++i) {
      const auto row = static_cast<Eigen::Index>(i);
      // e / (1 + e)^2 written through the logistic itself keeps it finite
      // for any exponent.
      const double exponent = q[1] - q[2] * t[i];
      const double s = 1 / (1 + std::exp(exponent));                     // 1 / D
      const double e = exponent > 0 ? (1 - s) : std::exp(exponent) * s;  // E / D
      jacobian(row, 0) = s;
      jacobian(row, 1) = -q[0] * e * s;
      jacobian(row, 2) = q[0] * e * s * t[i];
    }
    return 0;
  }
};

}  // namespace

double GrowthLogistic::At(double t) const {
  return k / (1 + std::exp(b - r * t));
}

double GrowthLogistic::N0() const {
  return At(0);
}

double GrowthLogistic::Area(double t0, double t1) const {
  // The integral of k e^(rt) / (e^(rt) + e^b) is (k / r) ln(e^(rt) + e^b).
  return k / r * (LogSumExp(r * t1, b) - LogSumExp(r * t0, b));
}

LogisticFitResult FitGrowthLogistic(const std::vector<double>& t, const std::vector<double>& y,
                                    std::optional<GrowthLogistic> start, double rHint) {
  LogisticFitResult result;
  if (t.size() < 4 || t.size() != y.size()) return result;
  if (!start) {
    const double k = *std::max_element(y.begin(), y.end());
    if (!(k > 0)) return result;
    const double first = std::max(y.front(), k * 1e-3);
    const double span = t.back() - t.front();
    const double r = rHint > 0 ? rHint : (span > 0 ? 8 / span : 1);
    start = GrowthLogistic{k, first < k ? std::log(k / first - 1) : 0, r};
    // Where the data first reach half of K is near t_mid = b / r: a start
    // close enough that the solver needs only a few steps.
    for (size_t i = 1; i < t.size(); ++i) {
      if (y[i] < k / 2 || y[i - 1] >= k / 2) continue;
      const double half = t[i - 1] + (t[i] - t[i - 1]) * (k / 2 - y[i - 1]) / (y[i] - y[i - 1]);
      if (half > 0) start->b = r * half;
      break;
    }
  }
  const GrowthResiduals residuals(t, y);
  Eigen::VectorXd q(3);
  q << start->k, start->b, start->r;
  // A K a thousand times the highest reading is no level the culture grows
  // to: data with no bend (or with an offset the logistic cannot take) send
  // K off towards infinity, for as many steps as the solver allows.
  const double highest = std::max(*std::max_element(y.begin(), y.end()), start->k);
  const auto sensible = [limit = 1000 * std::abs(highest)](const Eigen::VectorXd& p) {
    return std::abs(p[0]) <= limit;
  };
  const LeastSquaresRun run = SolveLeastSquares(residuals, q, sensible);
  if (!run.converged || !(run.q[0] > 0) || !(run.q[2] > 0)) return result;
  result.converged = true;
  result.curve = {run.q[0], run.q[1], run.q[2]};
  result.rss = run.cost;
  return result;
}

}  // namespace analysis
