#include "analysis/curve_fit.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <unsupported/Eigen/LevenbergMarquardt>
#include <utility>

#include "analysis/least_squares.h"
#include "analysis/logistic_curve.h"

namespace analysis {

namespace {

constexpr char kCannotFit[] = "The standard curve cannot be fitted: ";

int ParameterCount(CurveModel model) {
  switch (model) {
    case CurveModel::Linear:
      return 2;
    case CurveModel::Quadratic:
      return 3;
    case CurveModel::PointToPoint:
      return 2;
    case CurveModel::FourPL:
      return 4;
    case CurveModel::FivePL:
      break;
  }
  return 5;
}

std::string Shown(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

double Weight(double response, Weighting weighting) {
  switch (weighting) {
    case Weighting::OneOverY:
      return 1 / response;
    case Weighting::OneOverY2:
      return 1 / (response * response);
    case Weighting::None:
      break;
  }
  return 1;
}

// Residuals sqrt(w) * (model - y) and their Jacobian in the solver's
// parameters (a, b, ln c, d [, ln g]): fitting the logarithms keeps c and g
// positive without bounds.
struct LogisticResiduals : Eigen::DenseFunctor<double> {
  const std::vector<FitPoint>& points;
  std::vector<double> rootWeights;
  bool five;

  LogisticResiduals(const std::vector<FitPoint>& p, std::vector<double> w, bool fivePL)
      : DenseFunctor(fivePL ? 5 : 4, static_cast<int>(p.size())),
        points(p),
        rootWeights(std::move(w)),
        five(fivePL) {}

  static LogisticCurve Curve(const InputType& q, bool five) {
    return {q[0], q[1], std::exp(q[2]), q[3], five ? std::exp(q[4]) : 1.0};
  }

  int operator()(const InputType& q, ValueType& r) const {
    const LogisticCurve curve = Curve(q, five);
    for (size_t i = 0; i < points.size(); ++i) {
      r[static_cast<Eigen::Index>(i)] =
          rootWeights[i] * (curve.Response(points[i].concentration) - points[i].response);
    }
    return 0;
  }

  int df(const InputType& q, JacobianType& jacobian) const {
    const LogisticCurve curve = Curve(q, five);
    for (size_t i = 0; i < points.size(); ++i) {
      const LogisticGradient g = curve.Gradient(points[i].concentration);
      const auto row = static_cast<Eigen::Index>(i);
      const double w = rootWeights[i];
      jacobian(row, 0) = w * g.da;
      jacobian(row, 1) = w * g.db;
      jacobian(row, 2) = w * g.dLogC;
      jacobian(row, 3) = w * g.dd;
      if (five) jacobian(row, 4) = w * g.dLogG;
    }
    return 0;
  }
};

using LogisticRun = LeastSquaresRun;

LogisticRun RunSolver(const LogisticResiduals& residuals, Eigen::VectorXd start) {
  return SolveLeastSquares(residuals, std::move(start));
}

// Mean response per standard level, lowest concentration first.
std::vector<std::pair<double, double>> LevelMeans(const std::vector<FitPoint>& points) {
  std::map<double, std::pair<double, int>> sums;
  for (const FitPoint& p : points) {
    auto& [sum, count] = sums[p.concentration];
    sum += p.response;
    ++count;
  }
  std::vector<std::pair<double, double>> levels;
  for (const auto& [x, sum] : sums) levels.emplace_back(x, sum.first / sum.second);
  return levels;
}

// Starts oriented with the data: a is the response of the lowest standard,
// d of the highest, b > 0, and c the standard that reads nearest halfway.
// Starts against the data's direction can run c towards 0.
std::vector<Eigen::VectorXd> LogisticStarts(const std::vector<FitPoint>& points, bool five) {
  const auto levels = LevelMeans(points);
  const double a = levels.front().second;
  const double d = levels.back().second;
  const double half = (a + d) / 2;
  double smallest = 0;
  double logSum = 0;
  int positive = 0;
  for (const auto& [x, y] : levels) {
    if (x <= 0) continue;
    if (positive == 0) smallest = x;
    logSum += std::log(x);
    ++positive;
  }
  double nearest = smallest;
  double distance = INFINITY;
  for (const auto& [x, y] : levels) {
    if (x > 0 && std::abs(y - half) < distance) {
      distance = std::abs(y - half);
      nearest = x;
    }
  }
  std::vector<Eigen::VectorXd> starts;
  for (double c : {nearest, std::exp(logSum / positive)}) {
    Eigen::VectorXd q(five ? 5 : 4);
    q[0] = a;
    q[1] = 1;
    q[2] = std::log(c);
    q[3] = d;
    if (five) q[4] = 0;
    starts.push_back(q);
  }
  return starts;
}

std::optional<LogisticRun> FitLogistic(const LogisticResiduals& residuals,
                                       const std::vector<Eigen::VectorXd>& starts) {
  std::optional<LogisticRun> best;
  for (const Eigen::VectorXd& start : starts) {
    LogisticRun run = RunSolver(residuals, start);
    if (run.converged && (!best || run.cost < best->cost)) best = std::move(run);
  }
  return best;
}

// Weighted least squares for y = sum q[k] x^k, k < terms.
Eigen::VectorXd Polynomial(const CurveFit& fit, const std::vector<double>& rootWeights, int terms) {
  const auto n = static_cast<Eigen::Index>(fit.points.size());
  Eigen::MatrixXd design(n, terms);
  Eigen::VectorXd response(n);
  for (Eigen::Index i = 0; i < n; ++i) {
    const double w = rootWeights[static_cast<size_t>(i)];
    const double x = fit.points[static_cast<size_t>(i)].concentration;
    double power = 1;
    for (int k = 0; k < terms; ++k, power *= x) design(i, k) = w * power;
    response[i] = w * fit.points[static_cast<size_t>(i)].response;
  }
  return design.colPivHouseholderQr().solve(response);
}

void SetLinear(CurveFit& fit, const std::vector<double>& rootWeights) {
  const Eigen::VectorXd line = Polynomial(fit, rootWeights, 2);
  fit.parameters = {{"intercept", line[0]}, {"slope", line[1]}};
}

void SetQuadratic(CurveFit& fit, const std::vector<double>& rootWeights) {
  const Eigen::VectorXd q = Polynomial(fit, rootWeights, 3);
  fit.parameters = {{"a", q[0]}, {"b", q[1]}, {"c", q[2]}};
}

// The knots must rise or fall throughout, or a response would have two
// concentrations.
bool SetPointToPoint(CurveFit& fit, const std::vector<std::pair<double, double>>& levels) {
  fit.knots = levels;
  int rising = 0, falling = 0;
  for (size_t i = 1; i < levels.size(); ++i) {
    rising += levels[i].second > levels[i - 1].second;
    falling += levels[i].second < levels[i - 1].second;
  }
  const int segments = static_cast<int>(levels.size()) - 1;
  return rising == segments || falling == segments;
}

// A parameter thousands of times outside what the standards span is the
// solver running off to infinity, however well the points fit.
std::string Degenerate(const CurveFit& fit, const std::vector<std::pair<double, double>>& levels) {
  constexpr double kFactor = 1000;
  if (fit.model != CurveModel::FourPL && fit.model != CurveModel::FivePL) return "";
  double lowX = INFINITY, highX = 0, lowY = INFINITY, highY = -INFINITY;
  for (const auto& [x, y] : levels) {
    if (x > 0) lowX = std::min(lowX, x);
    highX = std::max(highX, x);
    lowY = std::min(lowY, y);
    highY = std::max(highY, y);
  }
  const double span = highY - lowY;
  for (const FitParameter& p : fit.parameters) {
    bool outside = false;
    if (p.name == "c") outside = p.value < lowX / kFactor || p.value > highX * kFactor;
    if (p.name == "a" || p.name == "d") {
      outside = p.value < lowY - kFactor * span || p.value > highY + kFactor * span;
    }
    if (p.name == "g") outside = p.value < 1 / kFactor || p.value > kFactor;
    if (outside) {
      return "the fit is degenerate: " + p.name + " = " + Shown(p.value) +
             " lies thousands of times outside the standards' range (" + Shown(lowX) + " to " +
             Shown(highX) + "); try another model.";
    }
  }
  return "";
}

void SetLogistic(CurveFit& fit, const LogisticRun& run, bool five) {
  LogisticCurve curve = LogisticResiduals::Curve(run.q, five);
  if (!five && curve.b < 0) {
    // The mirror solution draws the same curve: report the one whose a is
    // the zero-concentration end.
    std::swap(curve.a, curve.d);
    curve.b = -curve.b;
  }
  fit.parameters = {{"a", curve.a}, {"b", curve.b}, {"c", curve.c}, {"d", curve.d}};
  if (five) fit.parameters.push_back({"g", curve.g});
  fit.iterations = run.iterations;
}

void SetQuality(CurveFit& fit, const std::vector<double>& rootWeights) {
  double weightSum = 0, weightedMean = 0;
  for (size_t i = 0; i < fit.points.size(); ++i) {
    const double w = rootWeights[i] * rootWeights[i];
    weightSum += w;
    weightedMean += w * fit.points[i].response;
  }
  weightedMean /= weightSum;
  double residualSum = 0, totalSum = 0;
  for (size_t i = 0; i < fit.points.size(); ++i) {
    FitPoint& p = fit.points[i];
    const double w = rootWeights[i] * rootWeights[i];
    p.fitted = fit.Response(p.concentration);
    p.residual = p.response - p.fitted;
    residualSum += w * p.residual * p.residual;
    totalSum += w * (p.response - weightedMean) * (p.response - weightedMean);
  }
  fit.r2 = 1 - residualSum / totalSum;
}

bool AllFinite(const CurveFit& fit) {
  if (!std::isfinite(fit.r2)) return false;
  for (const FitParameter& p : fit.parameters) {
    if (!std::isfinite(p.value)) return false;
  }
  for (const FitPoint& p : fit.points) {
    if (!std::isfinite(p.fitted) || !std::isfinite(p.residual)) return false;
  }
  return true;
}

CurveFit Failed(CurveFit fit, const std::string& why) {
  fit.fitted = false;
  fit.failure = kCannotFit + why;
  fit.parameters.clear();
  fit.knots.clear();
  for (FitPoint& p : fit.points) p.fitted = p.residual = 0;
  fit.r2 = 0;
  return fit;
}

}  // namespace

CurveFit FitStandardCurve(std::vector<FitPoint> points, CurveModel model, Weighting weighting) {
  CurveFit fit;
  fit.model = model;
  fit.weighting = weighting;
  fit.points = std::move(points);

  const auto levels = LevelMeans(fit.points);
  const int needed = ParameterCount(model);
  if (static_cast<int>(levels.size()) < needed) {
    return Failed(fit, std::string("a ") + CurveModelName(model) + " curve needs " +
                           std::to_string(needed) + " standard concentrations with values, " +
                           "the plate has " + std::to_string(levels.size()) + ".");
  }
  const auto [low, high] = std::minmax_element(
      fit.points.begin(), fit.points.end(),
      [](const FitPoint& l, const FitPoint& r) { return l.response < r.response; });
  if (high->response - low->response <= 1e-12 * std::max(1.0, std::abs(high->response))) {
    return Failed(fit, "all standards read the same.");
  }
  std::vector<double> rootWeights;
  for (const FitPoint& p : fit.points) {
    if (weighting != Weighting::None && p.response <= 0) {
      return Failed(fit, std::string(WeightingName(weighting)) +
                             " weighting needs standards that read above the blank, " +
                             WellName(p.well) + " reads " + Shown(p.response) + ".");
    }
    rootWeights.push_back(std::sqrt(Weight(p.response, weighting)));
  }

  if (model == CurveModel::Linear) {
    SetLinear(fit, rootWeights);
  } else if (model == CurveModel::Quadratic) {
    SetQuadratic(fit, rootWeights);
  } else if (model == CurveModel::PointToPoint) {
    if (!SetPointToPoint(fit, levels)) {
      return Failed(fit, "point-to-point needs standard means that rise (or fall) throughout.");
    }
  } else {
    const bool five = model == CurveModel::FivePL;
    const LogisticResiduals residuals(fit.points, rootWeights, five);
    std::vector<Eigen::VectorXd> starts;
    if (five) {
      // The 4PL optimum is the 5PL's with g = 1: a start close to home.
      const LogisticResiduals four(fit.points, rootWeights, false);
      if (const auto run = FitLogistic(four, LogisticStarts(fit.points, false))) {
        Eigen::VectorXd q(5);
        q << run->q, 0;
        starts.push_back(q);
      }
    }
    for (const auto& start : LogisticStarts(fit.points, five)) starts.push_back(start);
    const auto run = FitLogistic(residuals, starts);
    if (!run) return Failed(fit, "the fit did not converge.");
    SetLogistic(fit, *run, five);
  }
  fit.fitted = true;
  SetQuality(fit, rootWeights);
  if (!AllFinite(fit)) return Failed(fit, "the fit did not converge.");
  if (const std::string why = Degenerate(fit, levels); !why.empty()) return Failed(fit, why);
  if (fit.Response(levels.front().first) == fit.Response(levels.back().first)) {
    return Failed(fit, "the fitted curve is flat.");
  }
  return fit;
}

}  // namespace analysis
