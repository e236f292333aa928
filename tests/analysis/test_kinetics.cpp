// Kinetic series: the logistic fitter against NIST's certified values and a
// closed-form curve, whole plates of synthetic wells whose rates, growth
// parameters and flags are known, and the simulator's growth plate read
// every ten minutes for a day.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/kinetics.h"
#include "analysis/kinetics_output.h"
#include "analysis/logistic_fit.h"
#include "results/shared_state.h"
#include "sim/plate_model.h"
#include "sim/plate_scenarios.h"

using namespace analysis;

namespace {

void ExpectRelative(double ours, double expected, double tolerance, const std::string& what) {
  EXPECT_LE(std::abs(ours - expected), tolerance * std::abs(expected))
      << what << ": " << ours << ", expected " << expected;
}

// NIST StRD Rat42 ("higher difficulty"): y = b1 / (1 + exp(b2 - b3 x)) is
// the logistic with K = b1, b = b2, r = b3.
TEST(LogisticFit, MatchesNistRat42CertifiedValues) {
  const std::vector<double> x = {9, 14, 21, 28, 42, 57, 63, 70, 79};
  const std::vector<double> y = {8.93, 10.8, 18.59, 22.33, 39.35, 56.11, 61.73, 64.62, 67.08};
  const LogisticFitResult fit = FitGrowthLogistic(x, y, GrowthLogistic{100, 1, 0.1});
  ASSERT_TRUE(fit.converged);
  ExpectRelative(fit.curve.k, 72.462237576, 1e-7, "b1");
  ExpectRelative(fit.curve.b, 2.6180768402, 1e-7, "b2");
  ExpectRelative(fit.curve.r, 0.067359200066, 1e-7, "b3");
  ExpectRelative(fit.rss, 8.0565229338, 1e-8, "residual sum of squares");
  // The start read off the data gets there too.
  const LogisticFitResult own = FitGrowthLogistic(x, y);
  ASSERT_TRUE(own.converged);
  ExpectRelative(own.curve.k, 72.462237576, 1e-6, "b1 from the data's start");
}

TEST(LogisticFit, MidpointAndAreaOfAKnownCurve) {
  // K = 0.5, N0 = 1e-5, r = 1.2 per hour, 1001 points over 0 to 24 h.
  const double k = 0.5, n0 = 1e-5, r = 1.2;
  std::vector<double> t, n;
  for (int i = 0; i <= 1000; ++i) {
    t.push_back(24.0 * i / 1000);
    n.push_back(k / (1 + (k - n0) / n0 * std::exp(-r * t.back())));
  }
  const LogisticFitResult fit = FitGrowthLogistic(t, n);
  ASSERT_TRUE(fit.converged);
  EXPECT_NEAR(fit.curve.TMid(), 9.02, 0.005);
  EXPECT_NEAR(fit.curve.Area(0, 24), 7.49, 0.005);
  EXPECT_NEAR(fit.curve.N0(), n0, 1e-8);
  EXPECT_NEAR(fit.curve.r, r, 1e-6);
}

// A plate read every 30 s for 20 minutes with a background of 0.05 OD:
// blanks in column 12, straight enzyme rates in A, a well that runs past
// the reader's range, one that bleaches, one read only twice.
std::vector<KineticRead> EnzymePlate(PlateLayout& layout) {
  std::vector<KineticRead> reads;
  for (int well = 0; well < kLayoutWells; ++well) {
    layout.wells[well].role = well % 12 == 11 ? WellRole::Blank : WellRole::Sample;
    layout.wells[well].name = "S" + std::to_string(well);
  }
  for (int i = 0; i < 41; ++i) {
    KineticRead read;
    read.seconds = 30.0 * i + (i % 3) * 0.4;  // real times wobble
    read.values.fill(50);
    for (int column = 0; column < 11; ++column) {
      // a lag of 2 minutes, then 10 * (column + 1) mOD/min
      const double minutes = std::max(0.0, read.seconds / 60 - 2);
      read.values[column] = 50 + static_cast<int32_t>(std::lround(10.0 * (column + 1) * minutes));
    }
    read.values[12] = 900 - 10 * i;                                   // B1 fades
    if (i >= 30) read.overRange[13] = 1, read.values[13] = kNoValue;  // B2 runs over
    if (i >= 2) read.values[14] = kNoValue;                           // B3 read twice only
    reads.push_back(read);
  }
  return reads;
}

TEST(Kinetics, RatesLagsAndFlagsOfAnEnzymePlate) {
  PlateLayout layout;
  const std::vector<KineticRead> reads = EnzymePlate(layout);
  const KineticAnalysis result = AnalyseKinetics(reads, &layout, {});
  ASSERT_EQ(result.wells.size(), 96u);
  ASSERT_EQ(result.blanks.size(), reads.size());
  EXPECT_DOUBLE_EQ(result.blanks[0], 0.05);
  for (int column = 0; column < 11; ++column) {
    const KineticWell& well = result.wells[column];
    ExpectRelative(*well.rate, 10.0 * (column + 1), 0.01, WellName(column) + " rate");
    EXPECT_NEAR(*well.lag, 2, 0.1) << WellName(column);
    EXPECT_NEAR(*well.timeToMax, 20, 0.02) << WellName(column);
    EXPECT_GT(*well.r2, 0.999) << WellName(column);
    EXPECT_GE(*well.windowStart, 2 - 1e-9) << WellName(column);
    EXPECT_EQ(well.flags, 0u) << WellName(column) << ": " << KineticFlagText(well.flags);
  }
  EXPECT_EQ(result.wells[11].role, WellRole::Blank);
  EXPECT_NEAR(*result.wells[11].rate, 0, 1e-9);
  EXPECT_EQ(KineticFlagText(result.wells[12].flags), "negative rate");
  EXPECT_NEAR(*result.wells[12].rate, -20, 0.1);
  EXPECT_EQ(KineticFlagText(result.wells[13].flags), "above range");
  EXPECT_EQ(KineticFlagText(result.wells[14].flags), "too few reads");
  EXPECT_FALSE(result.wells[14].rate);

  // A noisy well: its steepest window explains little.
  std::vector<KineticRead> noisy = reads;
  for (size_t i = 0; i < noisy.size(); ++i) noisy[i].values[15] = i % 2 ? 80 : 50;
  const KineticAnalysis strict = AnalyseKinetics(noisy, &layout, {KineticMode::Rate, 5, 0.95});
  EXPECT_EQ(KineticFlagText(strict.wells[15].flags), "R² below limit");

  // Without a layout every well counts and nothing is subtracted.
  const KineticAnalysis bare = AnalyseKinetics(reads, nullptr, {KineticMode::Rate, 8, 0.9});
  EXPECT_EQ(bare.wells.size(), 96u);
  EXPECT_TRUE(bare.blanks.empty());
  ExpectRelative(*bare.wells[3].rate, 40, 0.01, "A4 without blanks");

  const auto json = KineticsJson(result)["kinetics"];
  EXPECT_EQ(json["mode"], "rate");
  EXPECT_EQ(json["window"], 5);
  EXPECT_EQ(json["wells"][0]["well"], "A1");
  EXPECT_EQ(json["wells"][0]["role"], "sample");
  EXPECT_EQ(json["wells"][0]["flag"], nullptr);
  EXPECT_EQ(json["wells"][14]["rate"], nullptr);
  EXPECT_EQ(json["wells"][12]["flag"], "negative rate");
}

TEST(Kinetics, GrowthParametersOfLogisticWells) {
  // Column c grows with r = 0.6 + 0.1 c per hour to K = 0.3 + 0.05 c from
  // 0.02 OD, read every 10 minutes for 24 h over a 0.04 OD background.
  PlateLayout layout;
  for (int well = 0; well < 12; ++well) layout.wells[well].role = WellRole::Sample;
  layout.wells[12].role = WellRole::Blank;
  std::vector<KineticRead> reads;
  for (int i = 0; i <= 144; ++i) {
    KineticRead read;
    read.seconds = 600.0 * i;
    read.values.fill(40);
    const double hours = read.seconds / 3600;
    for (int column = 0; column < 12; ++column) {
      const double k = 0.3 + 0.05 * column, r = 0.6 + 0.1 * column, n0 = 0.02;
      const double od = k / (1 + (k - n0) / n0 * std::exp(-r * hours));
      read.values[column] = 40 + static_cast<int32_t>(std::lround(1000 * od));
    }
    reads.push_back(read);
  }
  const KineticAnalysis result = AnalyseKinetics(reads, &layout, {KineticMode::Growth, 5, 0.95});
  ASSERT_EQ(result.wells.size(), 13u);
  for (int column = 0; column < 12; ++column) {
    const KineticWell& well = result.wells[column];
    const double k = 0.3 + 0.05 * column, r = 0.6 + 0.1 * column, n0 = 0.02;
    const std::string name = WellName(column);
    // ln N climbs at r (1 - N/K), a little below r; the thousandths of
    // the first reads blur it by a few per cent.
    EXPECT_LE(*well.rate, r * 1.05) << name;
    EXPECT_GE(*well.rate, r * 0.9) << name;
    EXPECT_NEAR(*well.doublingTime, std::log(2) / *well.rate, 1e-12) << name;
    EXPECT_NEAR(*well.k, k, 0.001) << name;
    ASSERT_TRUE(well.logistic) << name;
    ExpectRelative(well.logistic->k, k, 0.005, name + " logistic K");
    ExpectRelative(well.logistic->r, r, 0.02, name + " logistic r");
    ExpectRelative(well.logistic->N0(), n0, 0.1, name + " logistic N0");
    const GrowthLogistic truth{k, std::log((k - n0) / n0), r};
    ExpectRelative(*well.auc, truth.Area(0, 24), 0.005, name + " trapezoid area");
    ExpectRelative(*well.logisticAuc, truth.Area(0, 24), 0.005, name + " logistic area");
    // Growth from the first read on: no lag.
    EXPECT_LT(*well.lag, 0.3) << name;
  }
  // Read by read, each fit going on from the read before (as the kinetic
  // window follows a run), the series ends with the same fits; so does an
  // earlier run's analysis given as the start of a different one.
  KineticAnalysis live;
  for (size_t count = 1; count <= reads.size(); ++count) {
    const std::vector<KineticRead> sofar(reads.begin(), reads.begin() + count);
    live = AnalyseKinetics(sofar, &layout, {KineticMode::Growth, 5, 0.95}, &live);
  }
  std::vector<KineticRead> shifted = reads;
  for (KineticRead& read : shifted) read.seconds += 1800;  // the cultures half an hour later
  const KineticAnalysis other = AnalyseKinetics(shifted, &layout, {KineticMode::Growth, 5, 0.95});
  const KineticAnalysis otherFromLive =
      AnalyseKinetics(shifted, &layout, {KineticMode::Growth, 5, 0.95}, &live);
  for (int column = 0; column < 12; ++column) {
    const std::string name = WellName(column);
    for (const auto& [ours, cold] :
         {std::pair<const KineticAnalysis*, const KineticAnalysis*>(&live, &result),
          std::pair(&otherFromLive, &other)}) {
      const auto& fit = ours->wells[column].logistic;
      const auto& expected = cold->wells[column].logistic;
      ASSERT_TRUE(fit && expected) << name;
      ExpectRelative(fit->k, expected->k, 1e-7, name + " K read by read");
      ExpectRelative(fit->b, expected->b, 1e-7, name + " b read by read");
      ExpectRelative(fit->r, expected->r, 1e-7, name + " r read by read");
    }
  }

  const auto json = KineticsJson(result)["kinetics"]["wells"][0];
  EXPECT_TRUE(json["logistic"].contains("tMidHours"));
  EXPECT_TRUE(json.contains("muMaxPerHour"));
  EXPECT_TRUE(json.contains("doublingTimeHours"));
}

TEST(Kinetics, GrowthOfTheSimulatorsCultures) {
  sim::Options options;
  options.scenario = sim::PlateScenario::Growth;
  const sim::PlateModel model(options);
  const sim::ScenarioPlate truth = sim::BuildScenario(sim::PlateScenario::Growth);
  PlateLayout layout;
  for (int well = 0; well < kLayoutWells; ++well) {
    layout.wells[well].role =
        truth.truth[well].kind == sim::WellKind::Blank ? WellRole::Blank : WellRole::Sample;
  }
  std::vector<KineticRead> reads;
  for (int i = 0; i <= 144; ++i) {
    KineticRead read;
    read.seconds = 600.0 * i;
    const auto grid = model.Plate(truth.primaryNm, {read.seconds, i});
    std::copy(grid.begin(), grid.end(), read.values.begin());
    reads.push_back(read);
  }
  const KineticAnalysis result = AnalyseKinetics(reads, &layout, {KineticMode::Growth, 7, 0.95});
  int samples = 0;
  for (const KineticWell& well : result.wells) {
    const sim::WellTruth& known = truth.truth[well.well];
    const std::string name = WellName(well.well);
    if (known.kind != sim::WellKind::Sample) {
      EXPECT_LT(*well.k, 0.01) << name << ": a blank stays clear";
      continue;
    }
    ++samples;
    // The photometer's 0.002 OD of noise on an inoculum of 0.02 OD makes
    // the steepest hour of ln(OD) a little steeper or shallower than µ.
    ExpectRelative(*well.rate, known.value, 0.15, name + " µmax");
    EXPECT_NEAR(*well.lag, *known.lagHours, 0.25) << name;
    ExpectRelative(*well.k, *known.k, 0.03, name + " K");
    ASSERT_TRUE(well.logistic) << name;
    ExpectRelative(well.logistic->k, *known.k, 0.03, name + " logistic K");
  }
  EXPECT_EQ(samples, 88);
}

}  // namespace
