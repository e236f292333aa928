// platovix-cli with an assay against the simulator: each example assay
// gives Pass on its scenario's plate (default seed and others), a failed
// verdict exits 4 only when asked, and a bad assay is a usage error before
// the port is touched.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli_run.h"
#include "results/shared_state.h"
#include "sim/plate_scenarios.h"
#include "sim/reader_simulator.h"
#include "tests/support/cli_in_process.h"
#include "tests/support/temp_home.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

const std::string kExamples = test_paths::SourceDir() + "/examples/";

class CliAssay : public ::testing::Test {
 protected:
  static CliRun Run(const std::vector<std::string>& args) { return RunCliWith(args); }

  static sim::Options Reader(sim::PlateScenario scenario, unsigned seed) {
    sim::Options options;
    options.scenario = scenario;
    options.filters = sim::BuildScenario(scenario).filters;
    options.seed = seed;
    options.measureMs = 50;
    return options;
  }

  // The example assay with one QC member changed.
  std::string Variant(const std::string& example, const std::string& key, const json& value) {
    std::ifstream in(kExamples + example);
    json assay = json::parse(in);
    assay["qc"][key] = value;
    const std::string path = (home_ / ("variant-" + example)).string();
    std::ofstream(path) << assay.dump(2);
    return path;
  }

  TempHome temp_{"cli-assay"};
  const fs::path home_ = temp_.path();
};

TEST_F(CliAssay, EachExampleAssayPassesOnItsSimulatedPlate) {
  const std::pair<sim::PlateScenario, std::string> examples[] = {
      {sim::PlateScenario::Elisa, "elisa-assay.json"},
      {sim::PlateScenario::Bradford, "bradford-assay.json"}};
  const std::string archive = (home_ / "archive.sqlite").string();
  for (const auto& [scenario, file] : examples) {
    for (unsigned seed : {1u, 17u, 2024u}) {
      SCOPED_TRACE(file + ", seed " + std::to_string(seed));
      sim::PtySimulator reader(Reader(scenario, seed));
      const CliRun run =
          Run({"--port", reader.slavePath(), "--yes", "measure", "--assay", kExamples + file,
               "--fail-on-qc", "--format", "json", "--archive", archive});
      ASSERT_EQ(run.code, kExitSuccess) << run.err;
      const json result = json::parse(run.out);
      const sim::ScenarioPlate truth = sim::BuildScenario(scenario);
      EXPECT_EQ(result["primary_nm"], truth.primaryNm) << "the assay chose the filter";
      const json& analysis = result["analysis"];
      EXPECT_EQ(analysis["qc"]["verdict"], "Pass") << analysis["qc"].dump(1);
      EXPECT_TRUE(analysis["lloq"].is_number() && analysis["uloq"].is_number());
      EXPECT_NE(run.err.find("QC Pass"), std::string::npos);
    }
  }
  // Each read is archived with its whole assay and the analysis it was shown with.
  const CliRun list = Run({"archive", "list", "--archive", archive, "--format", "json"});
  ASSERT_EQ(list.code, kExitSuccess) << list.err;
  const json reads = json::parse(list.out);
  ASSERT_EQ(reads.size(), 6u);
  for (const json& read : reads) {
    EXPECT_EQ(read["verdict"], "Pass");
    EXPECT_EQ(json::parse(read["analysis"].get<std::string>())["qc"]["verdict"], "Pass");
    EXPECT_EQ(json::parse(read["assay"].get<std::string>())["name"], read["assayName"]);
  }
}

TEST_F(CliAssay, AFailedVerdictExits4OnlyWhenAskedAndAnalyseAgrees) {
  const std::string strict = Variant("bradford-assay.json", "blankMax", 0.1);
  sim::PtySimulator reader(Reader(sim::PlateScenario::Bradford, 1));
  const std::string plate = (home_ / "plate.json").string();
  CliRun run = Run({"--port", reader.slavePath(), "--yes", "measure", "--assay", strict, "--format",
                    "json", "-o", plate});
  EXPECT_EQ(run.code, kExitSuccess) << run.err;
  EXPECT_NE(run.err.find("QC Fail\n  Blank: mean 0.2"), std::string::npos) << run.err;
  run = Run({"--port", reader.slavePath(), "--yes", "measure", "--assay", strict, "--fail-on-qc",
             "--format", "csv", "--analysis-only"});
  EXPECT_EQ(run.code, kExitQcFailed);
  EXPECT_NE(run.out.find("verdict,Fail\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Concentration (ug/mL)"), std::string::npos);

  // The saved plate through analyse: the same verdict; the example passes it.
  run = Run({"analyse", "--assay", strict, "--fail-on-qc", plate});
  EXPECT_EQ(run.code, kExitQcFailed);
  EXPECT_EQ(json::parse(run.out)[0]["analysis"]["qc"]["verdict"], "Fail");
  run = Run({"analyse", "--assay", kExamples + "bradford-assay.json", "--fail-on-qc", plate});
  EXPECT_EQ(run.code, kExitSuccess) << run.err;
  // An explicit option still wins over the assay.
  run = Run({"analyse", "--assay", kExamples + "bradford-assay.json", "--fit", "linear", plate});
  EXPECT_EQ(json::parse(run.out)[0]["analysis"]["fit"]["model"], "linear");
}

TEST_F(CliAssay, ABadAssayExits64BeforeThePortIsTouched) {
  sim::PtySimulator reader(Reader(sim::PlateScenario::Elisa, 1));
  const int held = open(reader.slavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);  // opening the port would fail with 1
  const std::string bad = Variant("elisa-assay.json", "cvMax", 120);
  CliRun run = Run({"--port", reader.slavePath(), "measure", "--assay", bad});
  EXPECT_EQ(run.code, kExitUsage);
  EXPECT_EQ(run.err, "platovix-cli: " + bad + ": qc.cvMax: must be between 0 and 100\n");
  run = Run({"--port", reader.slavePath(), "measure", "--assay", (home_ / "none.json").string()});
  EXPECT_EQ(run.code, kExitUsage);
  EXPECT_EQ(Run({"measure", "--primary", "450", "--fail-on-qc"}).err,
            "platovix-cli: --fail-on-qc needs --assay FILE\n");
  EXPECT_EQ(Run({"filters", "--assay", bad}).err,
            "platovix-cli: --assay belongs to measure and analyse\n");
  close(held);
}

}  // namespace
