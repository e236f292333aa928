// The ELISA demo plate from end to end: the example layout describes the
// simulator's elisa plate, and measuring that plate with it recovers every
// sample's true concentration within 5 % where the curve is steep enough to
// tell (between the second and the second-to-last standard); the controls
// land in their ranges.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "analysis/plate_layout.h"
#include "cli/cli_run.h"
#include "results/shared_state.h"
#include "sim/plate_scenarios.h"
#include "sim/reader_simulator.h"
#include "tests/support/cli_in_process.h"
#include "tests/support/temp_home.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

analysis::WellRole RoleOf(sim::WellKind kind) {
  switch (kind) {
    case sim::WellKind::Blank:
      return analysis::WellRole::Blank;
    case sim::WellKind::Standard:
      return analysis::WellRole::Standard;
    case sim::WellKind::Sample:
      return analysis::WellRole::Sample;
    case sim::WellKind::Control:
      return analysis::WellRole::Control;
    case sim::WellKind::Empty:
      break;
  }
  return analysis::WellRole::Empty;
}

TEST(ElisaExample, TheLayoutDescribesTheSimulatedPlate) {
  const analysis::LayoutParse parse = analysis::ReadLayoutFile(kExampleLayout);
  ASSERT_TRUE(parse.ok) << parse.error;
  const sim::ScenarioPlate plate = sim::BuildScenario(sim::PlateScenario::Elisa);
  EXPECT_EQ(parse.layout.unit, plate.unit);
  for (int well = 0; well < 96; ++well) {
    SCOPED_TRACE(analysis::WellName(well));
    const sim::WellTruth& truth = plate.truth[well];
    const analysis::WellContent& content = parse.layout.wells[well];
    EXPECT_EQ(content.role, RoleOf(truth.kind));
    if (truth.kind == sim::WellKind::Standard) {
      EXPECT_EQ(content.concentration, truth.value);
    }
    if (truth.kind == sim::WellKind::Sample || truth.kind == sim::WellKind::Control) {
      EXPECT_EQ(content.name, truth.name);
    }
    if (truth.kind == sim::WellKind::Control) {
      ASSERT_TRUE(content.range);
      EXPECT_LT(content.range->low, truth.value);
      EXPECT_GT(content.range->high, truth.value);
    }
  }
}

TEST(ElisaExample, MeasuringTheDemoPlateRecoversItsSamples) {
  const TempHome home("elisa");

  sim::Options options;
  options.scenario = sim::PlateScenario::Elisa;
  options.measureMs = 200;
  sim::PtySimulator reader(options);
  std::ostringstream out, err;
  const int code = RunCli({"--port", reader.slavePath(), "measure", "--primary", "450",
                           "--reference", "620", "--layout", kExampleLayout, "--format", "json"},
                          CliIo{out, err, false, -1});
  ASSERT_EQ(code, kExitSuccess) << err.str();
  const json analysis = json::parse(out.str())["analysis"];
  ASSERT_TRUE(analysis["fit"].contains("parameters")) << analysis["fit"].dump();
  EXPECT_GT(analysis["fit"]["r2"].get<double>(), 0.999);

  const sim::ScenarioPlate plate = sim::BuildScenario(sim::PlateScenario::Elisa);
  std::map<std::string, double> truth;
  std::set<double> standards;
  for (const sim::WellTruth& well : plate.truth) {
    if (well.kind == sim::WellKind::Sample || well.kind == sim::WellKind::Control) {
      truth[well.name] = well.value;
    }
    if (well.kind == sim::WellKind::Standard) standards.insert(well.value);
  }
  ASSERT_EQ(standards.size(), 8u);
  const double second = *std::next(standards.begin());
  const double secondToLast = *std::next(standards.rbegin());

  int checked = 0;
  int inRange = 0;
  for (const auto& [name, value] : truth) inRange += value >= second && value <= secondToLast;
  for (const json& group : analysis["groups"]) {
    const std::string name = group["name"];
    if (group["role"] == "standard") continue;
    SCOPED_TRACE(name + ": " + group.dump());
    const double expected = truth.at(name);
    if (group["role"] == "control") {
      EXPECT_TRUE(group["flag"].is_null());
    }
    if (expected < second || expected > secondToLast) continue;
    ASSERT_TRUE(group["concentration"].is_number());
    EXPECT_NEAR(group["concentration"].get<double>(), expected, expected * 0.05);
    EXPECT_TRUE(group["flag"].is_null());
    ++checked;
  }
  EXPECT_EQ(checked, inRange);
  EXPECT_GE(checked, 25);
}

}  // namespace
