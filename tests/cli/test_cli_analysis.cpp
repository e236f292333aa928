// platovix-cli with a plate layout: measure adds the analysis to JSON and
// CSV (and leaves the clipboard text alone), analyse reads back the files
// of the preview's Save and of measure, and a bad layout is a usage error
// reported before the port is opened.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "analysis/plate_analysis.h"
#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "results/result_file.h"
#include "results/result_text.h"
#include "results/shared_state.h"
#include "sim/reader_simulator.h"
#include "tests/analysis/layout_text.h"
#include "tests/analysis/xlsx_reader.h"
#include "tests/results/result_file_parsers.h"
#include "tests/support/cli_in_process.h"
#include "tests/support/elisa_plate.h"
#include "tests/support/temp_home.h"

namespace fs = std::filesystem;
using layout_text::Block;
using nlohmann::json;

namespace {

using elisa_plate::kLevels;
using elisa_plate::kSamples;
using elisa_plate::LayoutFile;
using elisa_plate::Reading;

std::string PlateFile() {
  return elisa_plate::PlateFile(false);
}

class CliAnalysis : public ::testing::Test {
 protected:
  void SetUp() override {
    layout_ = Write("layout.csv", LayoutFile());
    plateFile_ = Write("readings.txt", PlateFile());
  }

  std::string Write(const std::string& name, const std::string& text) {
    const fs::path path = home_ / name;
    std::ofstream(path) << text;
    return path.string();
  }

  sim::Options Reader() const {
    sim::Options options;
    options.measureMs = 200;
    options.plateFile = plateFile_;
    return options;
  }

  TempHome temp_{"cli-analysis"};
  const fs::path home_ = temp_.path();
  std::string layout_, plateFile_;
};

// The concentrations the analysis reports, by group name.
std::map<std::string, json> Groups(const json& analysis) {
  std::map<std::string, json> groups;
  for (const json& group : analysis["groups"]) groups[group["name"]] = group;
  return groups;
}

void ExpectRecovered(const json& analysis) {
  ASSERT_TRUE(analysis["fit"].contains("parameters")) << analysis.dump(2);
  EXPECT_NEAR(analysis["blank"].get<double>(), 0.050, 1e-9);
  auto groups = Groups(analysis);
  for (int s = 0; s < 4; ++s) {
    const json& group = groups["S" + std::to_string(s + 1)];
    ASSERT_TRUE(group["concentration"].is_number()) << group.dump();
    EXPECT_NEAR(group["concentration"].get<double>(), kSamples[s], kSamples[s] * 0.01);
    EXPECT_TRUE(group["flag"].is_null()) << group.dump();
  }
  EXPECT_EQ(groups["QC"]["role"], "control");
  EXPECT_EQ(groups["Standard 100"]["wells"], json({"H2", "H3"}));
}

TEST_F(CliAnalysis, OptionsBelongToMeasureAndAnalyse) {
  const CliParse parse =
      ParseCliArguments({"analyse", "--layout", layout_, "--fit=5pl", "--weight", "1/y2",
                         "--format", "xlsx", "-o", "x.xlsx", "a.csv", "b.json"});
  ASSERT_TRUE(parse.ok) << parse.error;
  EXPECT_EQ(parse.options.command, CliCommand::Analyse);
  EXPECT_EQ(parse.options.plateFiles, (std::vector<std::string>{"a.csv", "b.json"}));
  EXPECT_EQ(parse.options.analysis.model, analysis::CurveModel::FivePL);
  EXPECT_EQ(parse.options.analysis.weighting, analysis::Weighting::OneOverY2);
  EXPECT_TRUE(parse.options.xlsx);
  ASSERT_TRUE(parse.options.layout);
  EXPECT_EQ(parse.options.layout->wells[0].role, analysis::WellRole::Blank);
  EXPECT_EQ(ParseCliArguments({"analyse", "--layout", layout_, "a.csv"}).options.format,
            ResultFormat::Json);

  const std::pair<std::vector<std::string>, std::string> wrong[] = {
      {{"analyse", "a.csv"}, "analyse needs --layout FILE"},
      {{"analyse", "--layout", layout_}, "analyse wants at least one plate file"},
      {{"analyse", "--layout", layout_, "--format", "xlsx", "a.csv"},
       "--format xlsx needs -o FILE"},
      {{"analyse", "--layout", layout_, "--format", "tsv", "a.csv"},
       "analyse writes json, csv or xlsx, not tsv"},
      {{"analyse", "--layout", layout_, "--primary", "450", "a.csv"},
       "--primary belongs to measure"},
      {{"measure", "--primary", "450", "--fit", "4pl"}, "--fit needs --layout FILE"},
      {{"measure", "--primary", "450", "--format", "xlsx"}, "--format xlsx belongs to analyse"},
      {{"measure", "--primary", "450", "--layout", layout_, "--fit", "6pl"},
       "--fit must be linear, 4pl or 5pl, not '6pl'"},
      {{"measure", "--primary", "450", "--layout", layout_, "--weight", "1/x"},
       "--weight must be none, 1/y or 1/y2, not '1/x'"},
      {{"filters", "--layout", layout_}, "--layout belongs to measure and analyse"},
  };
  for (const auto& [args, error] : wrong) {
    EXPECT_EQ(ParseCliArguments(args).error, error);
  }
}

TEST_F(CliAnalysis, BadLayoutExits64BeforeThePortIsOpened) {
  sim::PtySimulator reader(Reader());
  const int held = open(reader.slavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  const std::string bad = Write("bad.csv", Block("Role", {{"C5", "smaple"}}));
  const CliRun run =
      RunCliWith({"--port", reader.slavePath(), "measure", "--primary", "450", "--layout", bad});
  EXPECT_EQ(run.code, kExitUsage);
  EXPECT_EQ(run.err, "platovix-cli: " + bad +
                         ": Role block, row C, column 5: unknown role 'smaple' (blank, standard, "
                         "sample, control or an empty cell)\n");
  EXPECT_EQ(RunCliWith({"analyse", "--layout", (home_ / "none.csv").string(), "x.csv"}).code,
            kExitUsage);
  close(held);
  EXPECT_TRUE(reader.reader().Commands().empty());
}

TEST_F(CliAnalysis, MeasureAddsTheAnalysisToJsonButNotToTheClipboardText) {
  sim::PtySimulator reader(Reader());
  const std::vector<std::string> measure = {"--port", reader.slavePath(), "measure", "--primary",
                                            "450",    "--reference",      "620",     "--layout",
                                            layout_};
  auto with = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = measure;
    args.insert(args.end(), extra.begin(), extra.end());
    return RunCliWith(args);
  };

  const CliRun jsonRun = with({"--format", "json"});
  ASSERT_EQ(jsonRun.code, kExitSuccess) << jsonRun.err;
  const json read = json::parse(jsonRun.out);
  EXPECT_EQ(read["primary_nm"], 450);
  EXPECT_EQ(read["values"][0][0], 50);
  ExpectRecovered(read["analysis"]);

  // The clipboard text stays exactly as without a layout.
  const CliRun tsv = with({"--no-header"});
  ASSERT_EQ(tsv.code, kExitSuccess) << tsv.err;
  std::string clipboard;
  for (int row = 0; row < 8; ++row) {
    for (int column = 0; column < 12; ++column) {
      char number[kWellTextSize];
      FormatWellValue(read["values"][row][column].get<int>(), false, number, sizeof number);
      clipboard += (column > 0 ? "\t" : "") + std::string(number);
    }
    clipboard += "\r\n";
  }
  EXPECT_EQ(tsv.out, clipboard);

  const CliRun table = with({"--analysis-only", "--comma"});
  ASSERT_EQ(table.code, kExitSuccess) << table.err;
  EXPECT_EQ(table.out.rfind("Name\tRole\tWells\tMean\tSD\tCV %\tConcentration\tFlag\r\n", 0), 0u);
  EXPECT_NE(table.out.find("\r\nS1\tsample\tA4 A5\t0,"), std::string::npos) << table.out;
}

TEST_F(CliAnalysis, AnalyseReadsTheFilesOfSaveAndOfMeasure) {
  sim::PtySimulator reader(Reader());
  const std::string series = (home_ / "series.json").string();
  const std::string csv = (home_ / "measured.csv").string();
  ASSERT_EQ(RunCliWith({"--port", reader.slavePath(), "measure", "--primary", "450", "--reference",
                        "620", "--format", "json", "--repeat", "2", "--every", "0.2", "-o", series})
                .code,
            kExitSuccess);
  ASSERT_EQ(RunCliWith({"--port", reader.slavePath(), "measure", "--primary", "450", "--reference",
                        "620", "--format", "csv", "--comma", "-o", csv, "--layout", layout_})
                .code,
            kExitSuccess);
  // What the preview's Save writes, in both forms and with the decimal comma.
  TPlateResult plate;
  for (int i = 0; i < 96; ++i) plate.nValue[i] = Reading(0) - 45;
  for (int level = 0; level < 8; ++level) {
    plate.nValue[level * 12 + 1] = plate.nValue[level * 12 + 2] = Reading(kLevels[level]) - 45;
  }
  for (int s = 0; s < 4; ++s)
    plate.nValue[s * 12 + 3] = plate.nValue[s * 12 + 4] = Reading(kSamples[s]) - 45;
  plate.nValue[0] = plate.nValue[12] = 50;
  plate.nPrimary = 450;
  plate.bValid = 1;
  std::string error;
  const std::string saved = (home_ / "saved.csv").string();
  const std::string savedJson = (home_ / "saved.json").string();
  ASSERT_TRUE(SaveResultFile(saved, plate, {}, true, &error)) << error;
  ASSERT_TRUE(SaveResultFile(savedJson, plate, {}, false, &error)) << error;

  // measure's CSV with the analysis block under the grid.
  const std::string measured = result_parsers::ReadWholeFile(csv);
  EXPECT_NE(measured.find("\nA;0,050;"), std::string::npos) << measured;
  EXPECT_NE(measured.find("\n\nblank;0,05\nunit;\nfit;4pl\nweighting;none\na;"), std::string::npos)
      << measured;
  EXPECT_NE(measured.find("\nName;Role;Wells;Mean;SD;CV %;Concentration;Flag\n"),
            std::string::npos);
  EXPECT_NE(measured.find("\nS1;sample;A4 A5;"), std::string::npos);

  const CliRun run = RunCliWith({"analyse", "--layout", layout_, series, csv, saved, savedJson});
  ASSERT_EQ(run.code, kExitSuccess) << run.err;
  const json results = json::parse(run.out);
  ASSERT_EQ(results.size(), 5u);
  EXPECT_EQ(results[0]["file"], series + ", read 1");
  EXPECT_EQ(results[1]["file"], series + ", read 2");
  EXPECT_EQ(results[2]["file"], csv);
  EXPECT_EQ(results[3]["file"], saved);
  for (const json& result : results) {
    SCOPED_TRACE(result["file"].get<std::string>());
    ExpectRecovered(result["analysis"]);
  }

  // A file that is not a plate is reported; the others are still analysed.
  const std::string broken = Write("broken.json", "{\"values\": 3}");
  const std::string workbook = (home_ / "plates.xlsx").string();
  const CliRun mixed = RunCliWith(
      {"analyse", "--layout", layout_, "--format", "xlsx", "-o", workbook, broken, saved});
  EXPECT_EQ(mixed.code, kExitFailure);
  EXPECT_EQ(mixed.err,
            "platovix-cli: " + broken + ": the plate: \"values\" must be 8 rows of 12 wells\n");
  const xlsx_reader::Workbook book = xlsx_reader::Read(workbook);
  ASSERT_EQ(book.sheetNames, (std::vector<std::string>{"Plate", "Layout", "Analysis"}));
  EXPECT_EQ(book.At(0, "A1")->text, saved);
  EXPECT_TRUE(book.At(0, "B11")->isNumber);
}

}  // namespace
