// An enzyme assay whose response is the rate: a saved series of standards
// and samples goes through analyse --assay, and the samples' rates come
// back as concentrations on the standard curve, with a verdict.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "analysis/assay.h"
#include "cli/cli_run.h"
#include "results/result_file.h"
#include "tests/support/cli_in_process.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

TEST(CliKinetics, RatesGoThroughTheAssaysStandardCurve) {
  char pattern[] = "/tmp/platovix-cli-kinetics-XXXXXX";
  const fs::path home = mkdtemp(pattern);
  setenv("XDG_CONFIG_HOME", home.c_str(), 1);

  // Standards of 0 to 70 U/mL down column 1 turn over 2 mOD/min per U/mL;
  // samples of 5 to 75 U/mL down column 2; blanks in column 12.
  analysis::PlateLayout layout;
  layout.unit = "U/mL";
  for (int row = 0; row < 8; ++row) {
    layout.wells[row * 12] = {analysis::WellRole::Standard, "", 10.0 * row, {}, {}};
    layout.wells[row * 12 + 1] = {
        analysis::WellRole::Sample, "S" + std::to_string(row + 1), {}, {}, {}};
    layout.wells[row * 12 + 11].role = analysis::WellRole::Blank;
  }
  analysis::Assay assay = analysis::NewAssay("Phosphatase activity", layout);
  assay.reading.primary = 405;
  assay.reading.kinetic = analysis::AssayKineticReading{10, 30};
  assay.model = analysis::CurveModel::Linear;
  assay.kinetic = analysis::KineticOptions{};
  assay.rateResponse = true;
  assay.qc.blankMax = 0.5;  // mOD/min: the blanks' own turnover
  std::string error;
  const std::string assayPath = (home / "activity.json").string();
  ASSERT_TRUE(analysis::SaveAssayFile(assayPath, assay, &error)) << error;

  std::string series = "[\n";
  for (int read = 0; read < 10; ++read) {
    TPlateResult plate;
    std::fill(std::begin(plate.nValue), std::end(plate.nValue), 45);
    const double minutes = read * 0.5;
    for (int row = 0; row < 8; ++row) {
      plate.nValue[row * 12] = 45 + static_cast<int32_t>(std::lround(20.0 * row * minutes));
      plate.nValue[row * 12 + 1] =
          45 + static_cast<int32_t>(std::lround(2 * (5 + 10.0 * row) * minutes));
    }
    plate.nPrimary = 405;
    ResultContext context;
    context.elapsedSeconds = 30.0 * read;
    series += (read > 0 ? ",\n" : "") + BuildResultJson(plate, context);
  }
  const std::string seriesPath = (home / "series.json").string();
  std::ofstream(seriesPath) << series << "]\n";

  const CliRun run = RunCliWith({"analyse", "--assay", assayPath, "--fail-on-qc", seriesPath});
  ASSERT_EQ(run.code, kExitSuccess) << run.err;
  EXPECT_NE(run.err.find("QC Pass"), std::string::npos) << run.err;
  const json result = json::parse(run.out);
  EXPECT_EQ(result["kinetics"]["mode"], "rate");
  EXPECT_NEAR(result["kinetics"]["wells"][1]["rate"].get<double>(), 10, 0.1);  // A2
  int samples = 0;
  for (const json& group : result["analysis"]["groups"]) {
    if (group["role"] != "sample") continue;
    const int row = std::stoi(group["name"].get<std::string>().substr(1)) - 1;
    EXPECT_NEAR(group["concentration"].get<double>(), 5 + 10.0 * row, 0.3) << group.dump();
    ++samples;
  }
  EXPECT_EQ(samples, 8);
  // The QC lines speak of rates, not absorbances.
  bool blankRule = false;
  for (const json& rule : result["analysis"]["qc"]["rules"]) {
    if (rule["rule"] != "blank") continue;
    blankRule = true;
    EXPECT_EQ(rule["detail"], "Blank: mean 0.000 mOD/min (at most 0.500)");
  }
  EXPECT_TRUE(blankRule) << result["analysis"].dump();
  fs::remove_all(home);
}

}  // namespace
