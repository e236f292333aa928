// The curve models by name, and a fitted curve's response and inverse.
#include <algorithm>
#include <cmath>

#include "analysis/logistic_curve.h"
#include "analysis/plate_analysis.h"

namespace analysis {

namespace {

double Parameter(const CurveFit& fit, const char* name) {
  for (const FitParameter& p : fit.parameters) {
    if (p.name == name) return p.value;
  }
  return 0;
}

LogisticCurve Logistic(const CurveFit& fit) {
  LogisticCurve curve{Parameter(fit, "a"), Parameter(fit, "b"), Parameter(fit, "c"),
                      Parameter(fit, "d"), 1.0};
  if (fit.model == CurveModel::FivePL) curve.g = Parameter(fit, "g");
  return curve;
}

// Straight lines between the knots, the end segments carried on.
double PointToPointResponse(const std::vector<std::pair<double, double>>& knots, double x) {
  if (knots.size() < 2) return knots.empty() ? 0 : knots.front().second;
  size_t i = 1;
  while (i + 1 < knots.size() && x > knots[i].first) ++i;
  const auto [x0, y0] = knots[i - 1];
  const auto [x1, y1] = knots[i];
  return y0 + (y1 - y0) * (x - x0) / (x1 - x0);
}

// Only between the knots: beyond them the curve is not known.
std::optional<double> PointToPointConcentration(const std::vector<std::pair<double, double>>& knots,
                                                double y) {
  for (size_t i = 1; i < knots.size(); ++i) {
    const auto [x0, y0] = knots[i - 1];
    const auto [x1, y1] = knots[i];
    if ((y - y0) * (y - y1) <= 0 && y0 != y1) return x0 + (x1 - x0) * (y - y0) / (y1 - y0);
  }
  return std::nullopt;
}

// The root on the branch the standards lie on: the side of the vertex that
// holds the middle of the standards' range.
std::optional<double> QuadraticConcentration(const CurveFit& fit, double y) {
  const double a = Parameter(fit, "a"), b = Parameter(fit, "b"), c = Parameter(fit, "c");
  if (c == 0) {
    if (b == 0) return std::nullopt;
    return (y - a) / b;
  }
  double low = INFINITY, high = -INFINITY;
  for (const FitPoint& p : fit.points) {
    low = std::min(low, p.concentration);
    high = std::max(high, p.concentration);
  }
  const double vertex = -b / (2 * c);
  const double discriminant = b * b - 4 * c * (a - y);
  if (discriminant < 0) return std::nullopt;
  const double root = std::sqrt(discriminant);
  // Written so that neither root loses digits to cancellation.
  const double q = -0.5 * (b + std::copysign(root, b));
  const double r1 = q / c;
  const double r2 = q != 0 ? (a - y) / q : r1;
  const bool right = (low + high) / 2 >= vertex;
  const double x = right ? std::max(r1, r2) : std::min(r1, r2);
  if (!std::isfinite(x)) return std::nullopt;
  return x;
}

}  // namespace

const char* CurveModelName(CurveModel model) {
  switch (model) {
    case CurveModel::Linear:
      return "linear";
    case CurveModel::FourPL:
      return "4pl";
    case CurveModel::Quadratic:
      return "quadratic";
    case CurveModel::PointToPoint:
      return "point-to-point";
    case CurveModel::FivePL:
      break;
  }
  return "5pl";
}

const char* WeightingName(Weighting weighting) {
  switch (weighting) {
    case Weighting::OneOverY:
      return "1/y";
    case Weighting::OneOverY2:
      return "1/y2";
    case Weighting::None:
      break;
  }
  return "none";
}

std::optional<CurveModel> CurveModelFromName(std::string_view name) {
  for (CurveModel model : {CurveModel::Linear, CurveModel::FourPL, CurveModel::FivePL,
                           CurveModel::Quadratic, CurveModel::PointToPoint}) {
    if (name == CurveModelName(model)) return model;
  }
  return std::nullopt;
}

std::optional<Weighting> WeightingFromName(std::string_view name) {
  for (Weighting weighting : {Weighting::None, Weighting::OneOverY, Weighting::OneOverY2}) {
    if (name == WeightingName(weighting)) return weighting;
  }
  return std::nullopt;
}

double CurveFit::Response(double concentration) const {
  if (model == CurveModel::Linear) {
    return Parameter(*this, "intercept") + Parameter(*this, "slope") * concentration;
  }
  if (model == CurveModel::Quadratic) {
    const double x = concentration;
    return Parameter(*this, "a") + (Parameter(*this, "b") + Parameter(*this, "c") * x) * x;
  }
  if (model == CurveModel::PointToPoint) return PointToPointResponse(knots, concentration);
  return Logistic(*this).Response(concentration);
}

std::optional<double> CurveFit::Concentration(double response) const {
  if (!fitted) return std::nullopt;
  if (model == CurveModel::Quadratic) return QuadraticConcentration(*this, response);
  if (model == CurveModel::PointToPoint) return PointToPointConcentration(knots, response);
  if (model != CurveModel::Linear) return Logistic(*this).Concentration(response);
  const double slope = Parameter(*this, "slope");
  const double x = (response - Parameter(*this, "intercept")) / slope;
  if (slope == 0 || !std::isfinite(x)) return std::nullopt;
  return x;
}

}  // namespace analysis
