// The report's results table read back by word position: on every path a
// report is made by (report with an assay or a layout, measure against the
// simulator, report of an archived read), each group's values stand under
// their own headers. An aborted read's report says so and shows no data;
// the standard curve's axes carry their numbers.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QGuiApplication>
#include <filesystem>
#include <fstream>

#include "analysis/analysis_report.h"
#include "analysis/assay.h"
#include "archive/archive_store.h"
#include "report/plate_report.h"
#include "results/result_file.h"
#include "sim/reader_simulator.h"
#include "tests/report/report_fixture.h"
#include "tests/support/cli_in_process.h"
#include "tests/support/elisa_plate.h"
#include "tests/support/pdf_words.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

using namespace report_fixture;

namespace {

const std::vector<std::string> kHeaders = {"Name", "Role", "Wells", "Dilution",   "Mean",
                                           "SD",   "CV %", "Conc.", "% Recovery", "Flag"};
const std::string kAssay = test_paths::SourceDir() + "/examples/elisa-assay.json";

// The table as read, a row a line, for a failure's message.
std::string TableText(const std::vector<PdfTableRow>& table) {
  std::string text;
  for (const PdfTableRow& row : table) {
    text += "p" + std::to_string(row.page);
    for (const std::string& header : kHeaders) text += " | " + row.Under(header);
    text += "\n";
  }
  return text;
}

std::string PdfPlainText(const std::string& pdf) {
  std::string text;
  for (const PdfWord& word : ReadPdfWords(pdf)) text += word.text + " ";
  return text;
}

int Column(const std::vector<std::string>& header, const std::string& prefix) {
  for (size_t i = 0; i < header.size(); ++i) {
    if (header[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
  }
  return -1;
}

// Every group of expected in the report's table, in order, with its name,
// mean, CV, concentration and recovery each under the header they belong to.
void ExpectValuesUnderTheirHeaders(const std::string& pdf,
                                   const analysis::PlateAnalysis& expected) {
  const std::vector<std::string> header = analysis::ResultsTableHeader(expected);
  const auto rows = analysis::ResultsTableRows(expected);
  const int mean = Column(header, "Mean"), cv = Column(header, "CV %"),
            conc = Column(header, "Concentration"), recovery = Column(header, "Recovery %");
  ASSERT_GE(mean, 0);
  const std::vector<PdfTableRow> table = ReadPdfTable(ReadPdfWords(pdf), kHeaders);
  ASSERT_EQ(table.size(), rows.size()) << TableText(table);
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto& row = rows[i];
    SCOPED_TRACE(row[0]);
    EXPECT_EQ(table[i].Under("Name"), row[0]);
    EXPECT_EQ(table[i].Under("Mean"), row[static_cast<size_t>(mean)]);
    EXPECT_EQ(table[i].Under("CV %"), row[static_cast<size_t>(cv)]);
    EXPECT_EQ(table[i].Under("Conc."), row[static_cast<size_t>(conc)]);
    const analysis::GroupResult& group = expected.groups[i];
    if (recovery >= 0) {
      EXPECT_EQ(table[i].Under("% Recovery"), row[static_cast<size_t>(recovery)]);
    } else if (group.role == analysis::WellRole::Standard) {
      EXPECT_EQ(table[i].Under("% Recovery"), analysis::FormatPercent(group.recovery));
    }
    if (group.role == analysis::WellRole::Standard && group.recovery) {
      EXPECT_FALSE(table[i].Under("% Recovery").empty());
    }
  }
}

archive::PlateRead OnlyRead() {
  std::vector<std::string> messages;
  std::string error;
  auto archive = archive::OpenArchiveForReading({}, &messages, &error);
  std::vector<archive::PlateRead> reads;
  if (archive) archive->FindReads({}, &reads, &error);
  return reads.size() == 1 ? reads[0] : archive::PlateRead{};
}

class ReportColumns : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    char pattern[] = "/tmp/platovix-columns-XXXXXX";
    home_ = mkdtemp(pattern);
    setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
    setenv("XDG_DATA_HOME", (home_ / "data").c_str(), 1);
    AppSettings = TAppSettings{};
    bAbort.store(0);
  }
  void TearDown() override { fs::remove_all(home_); }
  std::string Path(const std::string& name) const { return (home_ / name).string(); }
  fs::path home_;
};

}  // namespace

TEST_F(ReportColumns, EveryReportPathPutsEachValueUnderItsHeader) {
  const analysis::AssayParse assay = analysis::ReadAssayFile(kAssay);
  ASSERT_TRUE(assay.ok) << assay.message;

  // report --assay and report --layout of a saved plate.
  const TPlateResult plate = ElisaPlate();
  std::string error;
  ResultContext context;
  context.readerKind = "DigiScan";
  ASSERT_TRUE(SaveResultFile(Path("plate.json"), plate, context, false, &error)) << error;
  {
    SCOPED_TRACE("report --assay");
    const CliRun run =
        RunCliWith({"report", "--assay", kAssay, "-o", Path("assay.pdf"), Path("plate.json")});
    ASSERT_EQ(run.code, kExitSuccess) << run.err;
    ExpectValuesUnderTheirHeaders(
        Path("assay.pdf"),
        analysis::AnalysePlate(plate.nValue, assay.assay.layout, assay.assay.Options()));
  }
  {
    SCOPED_TRACE("report --layout");
    std::ofstream(Path("layout.csv")) << elisa_plate::LayoutFile();
    const CliRun run = RunCliWith(
        {"report", "--layout", Path("layout.csv"), "-o", Path("layout.pdf"), Path("plate.json")});
    ASSERT_EQ(run.code, kExitSuccess) << run.err;
    ExpectValuesUnderTheirHeaders(
        Path("layout.pdf"),
        analysis::AnalysePlate(plate.nValue,
                               analysis::ParseLayout(elisa_plate::LayoutFile()).layout, {}));
  }

  // measure --assay --report against the simulator, then report --record of
  // the read it stored: both from the values the archive holds.
  sim::Options options;
  options.scenario = sim::PlateScenario::Elisa;
  options.measureMs = 100;
  sim::PtySimulator reader(options);
  const CliRun measure = RunCliWith({"--port", reader.slavePath(), "--yes", "measure", "--assay",
                                     kAssay, "--report", Path("measured.pdf")});
  ASSERT_EQ(measure.code, kExitSuccess) << measure.err;
  const archive::PlateRead read = OnlyRead();
  ASSERT_FALSE(read.uuid.empty());
  const analysis::PlateAnalysis stored =
      analysis::AnalysePlate(read.values, assay.assay.layout, assay.assay.Options());
  {
    SCOPED_TRACE("measure --report");
    ExpectValuesUnderTheirHeaders(Path("measured.pdf"), stored);
  }
  {
    SCOPED_TRACE("report --record");
    const CliRun run = RunCliWith({"report", "--record", read.uuid, "-o", Path("record.pdf")});
    ASSERT_EQ(run.code, kExitSuccess) << run.err;
    ExpectValuesUnderTheirHeaders(Path("record.pdf"), stored);
  }
}

TEST_F(ReportColumns, AnAbortedOrFailedReadIsReportedAsSuchWithoutData) {
  PlateReport report;
  report.title = "Sandwich ELISA, TMB";
  report.plateId = "P-7";
  report.plate = ElisaPlate();
  report.layout = analysis::ParseLayout(elisa_plate::LayoutFile()).layout;
  report.analysis = analysis::AnalysePlate(report.plate.nValue, *report.layout, {});
  report.verdict = "Passed";
  report.status = "aborted";
  report.statusMessage = "aborted by the user";
  report.comments = {{"comment", "Ada", "2026-12-09T10:00:00+01:00", "", "lid left on"}};
  QString error;
  ASSERT_TRUE(WritePlateReportPdf(report, QString::fromStdString(Path("aborted.pdf")), &error));
  const std::vector<PdfWord> words = ReadPdfWords(Path("aborted.pdf"));
  const std::vector<PdfWord> title = FindPdfPhrase(words, "Aborted read: no valid data");
  ASSERT_EQ(title.size(), 1u) << PdfPlainText(Path("aborted.pdf"));
  for (const PdfWord& word : words) EXPECT_GE(word.yMin + 0.01, title[0].yMin) << word.text;
  const std::string text = PdfPlainText(Path("aborted.pdf"));
  for (const char* absent :
       {"Read completed", "QC verdict", "Performed by", "Conc.", "Standard", "Sandwich ELISA"}) {
    EXPECT_EQ(text.find(absent), std::string::npos) << absent << " in " << text;
  }
  EXPECT_NE(text.find("Plate ID: P-7"), std::string::npos) << text;
  EXPECT_NE(text.find("lid left on"), std::string::npos) << "a comment stays listed";

  report.status = "failed";
  report.statusMessage = "the reader did not answer";
  ASSERT_TRUE(WritePlateReportPdf(report, QString::fromStdString(Path("failed.pdf")), &error));
  const std::string failed = PdfPlainText(Path("failed.pdf"));
  EXPECT_NE(failed.find("Failed read: the reader did not answer"), std::string::npos) << failed;
  EXPECT_EQ(failed.find("Read completed"), std::string::npos);
  EXPECT_EQ(failed.find("Reviewed by"), std::string::npos);
}

TEST_F(ReportColumns, ACompletedReportNamesItsLayoutListsNotesMarksOverRangeAndNumbersItsAxes) {
  PlateReport report;
  report.title = "IL-6 ELISA";
  report.layoutName = "il6-layout.csv";
  report.plate = ElisaPlate();
  report.plate.bOverRange[6 * 12 + 11] = 1;  // G12; H12 has no value
  report.layout = analysis::ParseLayout(elisa_plate::LayoutFile()).layout;
  report.analysis = analysis::AnalysePlate(report.plate.nValue, *report.layout, {});
  report.exclusions = {{"well excluded", "Ada", "2026-12-09T10:00:00+01:00", "bubble", "C1"}};
  report.comments = {{"comment", "Bo", "2026-12-09T11:00:00+01:00", "", "lid left on"}};
  QString error;
  ASSERT_TRUE(WritePlateReportPdf(report, QString::fromStdString(Path("notes.pdf")), &error));
  const std::vector<PdfWord> words = ReadPdfWords(Path("notes.pdf"));
  const std::string text = PdfPlainText(Path("notes.pdf"));
  ASSERT_FALSE(FindPdfPhrase(words, "IL-6 ELISA").empty()) << text;
  EXPECT_EQ(FindPdfPhrase(words, "IL-6 ELISA")[0].text, words[0].text + " " + words[1].text);
  for (const char* expected :
       {"Layout: il6-layout.csv", "Over range: G12",
        "Read completed:", "2026-12-09T10:00:00+01:00 Ada well excluded: C1 – bubble",
        "2026-12-09T11:00:00+01:00 Bo comment: lid left on", "Exclusions", "Comments"}) {
    EXPECT_FALSE(FindPdfPhrase(words, expected).empty()) << expected << " in " << text;
  }

  // The over-range well says so in its place on the plate: under column 12,
  // beside row G.
  const std::vector<PdfWord> over = FindPdfPhrase(words, "OVER");
  ASSERT_FALSE(over.empty()) << text;
  const auto overlapsUp = [](const PdfWord& a, const PdfWord& b) {
    return std::min(a.yMax, b.yMax) > std::max(a.yMin, b.yMin);
  };
  bool underTwelve = false, besideG = false;
  for (const PdfWord& label : FindPdfPhrase(words, "12")) {
    underTwelve |= PdfXOverlap(label, over[0]) > 0 && label.yMax < over[0].yMin;
  }
  for (const PdfWord& label : FindPdfPhrase(words, "G")) {
    besideG |= overlapsUp(label, over[0]) && label.xMax < over[0].xMin;
  }
  EXPECT_TRUE(underTwelve && besideG);

  // The curve's concentrations at whole decades, evenly spaced on one line;
  // the absorbances at round steps, one above the other.
  const std::vector<PdfWord> top = FindPdfPhrase(words, "1000");
  ASSERT_EQ(top.size(), 1u) << text;
  std::vector<double> decades;
  for (const PdfWord& word : PdfLineOf(words, top[0])) {
    if (word.text == "1" || word.text == "10" || word.text == "100" || word.text == "1000") {
      decades.push_back((word.xMin + word.xMax) / 2);
    }
  }
  ASSERT_EQ(decades.size(), 4u);
  for (size_t i = 2; i < decades.size(); ++i) {
    EXPECT_NEAR(decades[i] - decades[i - 1], decades[1] - decades[0], 1.0);
    EXPECT_GT(decades[i], decades[i - 1]);
  }
  const std::vector<PdfWord> half = FindPdfPhrase(words, "0.5"),
                             oneAndHalf = FindPdfPhrase(words, "1.5");
  ASSERT_EQ(half.size(), 1u) << text;
  ASSERT_EQ(oneAndHalf.size(), 1u);
  EXPECT_NEAR(half[0].xMax, oneAndHalf[0].xMax, 1.0);
  EXPECT_LT(oneAndHalf[0].yMax, half[0].yMin);
  EXPECT_FALSE(FindPdfPhrase(words, "Concentration").empty());
}
