// The standard curves against an independent tool: every fit of SciPy's
// curve_fit stored in reference/curve_fits.json (made by the script beside
// it) is repeated here and must agree to 1e-4 relative.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>

#include "analysis/curve_fit.h"
#include "tests/support/test_paths.h"

using namespace analysis;
using nlohmann::json;

namespace {

constexpr double kRelative = 1e-4;

json Reference() {
  std::ifstream in(test_paths::SourceDir() + "/tests/analysis/reference/curve_fits.json");
  return json::parse(in);
}

void ExpectClose(double ours, double theirs, const std::string& what) {
  EXPECT_LE(std::abs(ours - theirs), kRelative * std::abs(theirs))
      << what << ": ours " << ours << ", reference " << theirs;
}

std::vector<FitPoint> Points(const json& set) {
  std::vector<FitPoint> points;
  for (size_t i = 0; i < set["concentrations"].size(); ++i) {
    points.push_back({static_cast<int>(i), set["concentrations"][i].get<double>(),
                      set["responses"][i].get<double>(), 0, 0});
  }
  return points;
}

TEST(CurveFit, AgreesWithTheReferenceFits) {
  const json reference = Reference();
  int fits = 0;
  for (const json& set : reference["data_sets"]) {
    for (const json& expected : set["fits"]) {
      const std::string label = set["name"].get<std::string>() + ", " +
                                expected["model"].get<std::string>() + ", weight " +
                                expected["weighting"].get<std::string>();
      SCOPED_TRACE(label);
      const CurveFit fit =
          FitStandardCurve(Points(set), *CurveModelFromName(expected["model"].get<std::string>()),
                           *WeightingFromName(expected["weighting"].get<std::string>()));
      ASSERT_TRUE(fit.fitted) << fit.failure;
      ++fits;
      ASSERT_EQ(fit.parameters.size(), expected["parameters"].size());
      for (const FitParameter& p : fit.parameters) {
        ExpectClose(p.value, expected["parameters"][p.name].get<double>(), p.name);
      }
      ExpectClose(fit.r2, expected["r2"].get<double>(), "r2");
      for (const json& probe : expected["back_calculated"]) {
        const double response = probe["response"].get<double>();
        const std::optional<double> ours = fit.Concentration(response);
        if (probe["concentration"].is_null()) {
          EXPECT_FALSE(ours) << "response " << response << " gave " << ours.value_or(0);
        } else {
          ASSERT_TRUE(ours) << "response " << response;
          ExpectClose(*ours, probe["concentration"].get<double>(),
                      "concentration at " + std::to_string(response));
        }
      }
      for (const FitPoint& p : fit.points) {
        EXPECT_NEAR(p.residual, p.response - fit.Response(p.concentration), 1e-12);
      }
    }
  }
  EXPECT_EQ(fits, 14);
}

TEST(CurveFit, SaysWhyItCannotFit) {
  std::vector<FitPoint> flat;
  for (int i = 0; i < 8; ++i) flat.push_back({i, i * 10.0, 0.5, 0, 0});
  CurveFit fit = FitStandardCurve(flat, CurveModel::FourPL, Weighting::None);
  EXPECT_FALSE(fit.fitted);
  EXPECT_EQ(fit.failure, "The standard curve cannot be fitted: all standards read the same.");
  EXPECT_TRUE(fit.parameters.empty());

  fit =
      FitStandardCurve({{0, 5, 0.2, 0, 0}, {1, 5, 0.3, 0, 0}}, CurveModel::Linear, Weighting::None);
  EXPECT_EQ(fit.failure,
            "The standard curve cannot be fitted: a linear curve needs 2 standard concentrations "
            "with values, the plate has 1.");
  EXPECT_FALSE(fit.Concentration(0.25));

  std::vector<FitPoint> rising;
  for (int i = 0; i < 5; ++i) rising.push_back({i, i * 10.0, i * 0.2 - 0.01, 0, 0});
  fit = FitStandardCurve(rising, CurveModel::Linear, Weighting::OneOverY);
  EXPECT_EQ(fit.failure,
            "The standard curve cannot be fitted: 1/y weighting needs standards that read above "
            "the blank, A1 reads -0.01.");
  EXPECT_TRUE(FitStandardCurve(rising, CurveModel::Linear, Weighting::None).fitted);
}

TEST(CurveFit, BackCalculatesOnlyBetweenTheAsymptotes) {
  const json reference = Reference();
  const json& set = reference["data_sets"][1];  // rising, 4PL first
  const CurveFit fit = FitStandardCurve(Points(set), CurveModel::FourPL, Weighting::None);
  ASSERT_TRUE(fit.fitted);
  const double a = fit.parameters[0].value, d = fit.parameters[3].value;
  EXPECT_GT(fit.parameters[1].value, 0) << "b is reported positive";
  for (double y : {a, d, a - 0.01, d + 0.01, -5.0, 1e300, -1e300}) {
    EXPECT_FALSE(fit.Concentration(y)) << y;
  }
  // Just inside either asymptote: finite, and the curve gives the response back.
  for (double y : {a + 1e-6, d - 1e-6, (a + d) / 2}) {
    const auto x = fit.Concentration(y);
    ASSERT_TRUE(x) << y;
    EXPECT_TRUE(std::isfinite(*x));
    EXPECT_NEAR(fit.Response(*x), y, 1e-9);
  }
}

}  // namespace
