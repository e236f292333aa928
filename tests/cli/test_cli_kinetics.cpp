// An enzyme assay whose response is the rate: a saved series of standards
// and samples goes through analyse --assay, and the samples' rates come
// back as concentrations on the standard curve, with a verdict; the same
// series as a workbook (read back cell by cell) and as the run's report
// (read back by word position).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "analysis/kinetics_output.h"
#include "cli/cli_run.h"
#include "results/workbook_reader.h"
#include "tests/support/activity_series.h"
#include "tests/support/cli_in_process.h"
#include "tests/support/pdf_words.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

TEST(CliKinetics, RatesGoThroughTheAssaysStandardCurve) {
  char pattern[] = "/tmp/platovix-cli-kinetics-XXXXXX";
  const fs::path home = mkdtemp(pattern);
  setenv("XDG_CONFIG_HOME", home.c_str(), 1);

  const ActivitySeries made = WriteActivitySeries(home);
  ASSERT_FALSE(made.seriesPath.empty());
  const std::string& assayPath = made.assayPath;
  const std::string& seriesPath = made.seriesPath;

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

  // The same series as a workbook and a report.
  const std::string pdf = (home / "run.pdf").string();
  const std::string xlsx = (home / "run.xlsx").string();
  std::vector<std::string> both = {"analyse",  "--assay", assayPath, "--kinetic", "rate",
                                   "--format", "xlsx",    "-o",      xlsx};
  if (kWithReport) both.insert(both.end(), {"--report", pdf});
  both.push_back(seriesPath);
  const CliRun files = RunCliWith(both);
  ASSERT_EQ(files.code, kExitSuccess) << files.err;
  EXPECT_NE(files.err.find("QC Pass"), std::string::npos) << files.err;
  EXPECT_EQ(files.out, "");

  // The Series sheet holds the reads as saved: elapsed time, then A1 to H12 in OD.
  workbook_xml::Rows cells;
  std::string error;
  ASSERT_TRUE(ReadWorkbookSheet(xlsx, "Series", &cells, &error)) << error;
  EXPECT_EQ(cells[0][1].text, "elapsed [s]");
  EXPECT_EQ(cells[0][2].text, "A1");
  EXPECT_EQ(cells[0][97].text, "H12");
  ASSERT_EQ(cells.size(), made.plates.size() + 1);
  for (size_t read = 0; read < made.plates.size(); ++read) {
    const auto& row = cells[static_cast<int>(read) + 1];
    EXPECT_EQ(row.at(0).number, static_cast<double>(read + 1));
    EXPECT_EQ(row.at(1).number, made.seconds[read]);
    for (int well = 0; well < kWells; ++well) {
      ASSERT_TRUE(row.count(well + 2)) << read << " " << well;
      EXPECT_EQ(row.at(well + 2).number, made.plates[read].nValue[well] / 1000.0);
    }
  }
  // The per-well table with the CSV's columns, numbers as numbers; then the
  // rates' analysis with its verdict.
  ASSERT_TRUE(ReadWorkbookSheet(xlsx, "Kinetics", &cells, &error)) << error;
  const std::vector<std::string> header =
      analysis::KineticsTableHeader(analysis::KineticMode::Rate);
  for (size_t c = 0; c < header.size(); ++c)
    EXPECT_EQ(cells[0][static_cast<int>(c)].text, header[c]);
  ASSERT_EQ(cells.size(), 25u);  // columns 1, 2 and 12
  EXPECT_EQ(cells[2][0].text, "A2");
  EXPECT_NEAR(cells[2][3].number.value_or(0), 10, 0.1);
  ASSERT_TRUE(ReadWorkbookSheet(xlsx, "Analysis", &cells, &error)) << error;
  bool verdict = false;
  for (const auto& [r, row] : cells) {
    if (row.count(0) && row.at(0).text == "verdict") verdict = row.at(1).text == "Pass";
  }
  EXPECT_TRUE(verdict);

  if (!kWithReport) {
    fs::remove_all(home);
    return;
  }
  // The report: the run's facts, each well's rate under the rate header,
  // the verdict of the rates.
  const std::vector<PdfWord> words = ReadPdfWords(pdf);
  ASSERT_FALSE(words.empty());
  for (const std::string phrase :
       {"Phosphatase activity", "Mode: rate", "Window: 5 reads", "Reads: 10", "Interval: 30 s",
        "Assay: Phosphatase activity", "QC verdict: Pass", "Standard curve of the rates"}) {
    EXPECT_FALSE(FindPdfPhrase(words, phrase).empty()) << phrase;
  }
  // Up the standard curve's side, reading upwards: the rates with their
  // unit, not absorbances.
  bool rateTitle = false;
  for (size_t i = 0; i + 1 < words.size(); ++i) {
    const PdfWord& rate = words[i];
    const PdfWord& unit = words[i + 1];
    rateTitle = rateTitle || (rate.text == "Rate" && unit.text == "[mOD/min]" &&
                              rate.yMax - rate.yMin > rate.xMax - rate.xMin &&
                              unit.yMax <= rate.yMin + 1 && PdfXOverlap(rate, unit) > 0);
  }
  EXPECT_TRUE(rateTitle);
  for (const PdfWord& word : words) EXPECT_NE(word.text, "Absorbance,");
  const std::vector<PdfTableRow> table =
      ReadPdfTable(words, {"Well", "Name", "Role", "Rate (mOD/min)", "R²", "Window start (min)",
                           "Window end (min)", "Lag (min)", "Time to max (min)", "Flag"});
  int rates = 0;
  for (const PdfTableRow& row : table) {
    const std::string well = row.Under("Well");
    if (well.size() < 2 || row.Under("Role").empty()) continue;
    const int r = well[0] - 'A', column = std::stoi(well.substr(1));
    const std::string rate = row.Under("Rate (mOD/min)");
    ASSERT_FALSE(rate.empty()) << well;
    const double expected = column == 1 ? 20.0 * r : column == 2 ? 2 * (5 + 10.0 * r) : 0;
    EXPECT_NEAR(std::stod(rate), expected, 0.1) << well;
    ++rates;
  }
  EXPECT_EQ(rates, 24);

  // In growth mode every one of the table's seventeen columns stands on the page.
  const std::string growth = (home / "growth.pdf").string();
  const CliRun grown = RunCliWith({"analyse", "--kinetic", "growth", "--report", growth, "-o",
                                   (home / "growth.json").string(), seriesPath});
  ASSERT_EQ(grown.code, kExitSuccess) << grown.err;
  const std::vector<PdfWord> growthWords = ReadPdfWords(growth);
  for (const std::string& header : analysis::KineticsTableHeader(analysis::KineticMode::Growth)) {
    EXPECT_FALSE(FindPdfPhrase(growthWords, header).empty()) << header;
  }
  for (const PdfWord& word : growthWords)
    EXPECT_LT(word.xMax, 595 - 30) << word.text;  // A4's margin
  fs::remove_all(home);
}

}  // namespace
