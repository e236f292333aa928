// The plate report read back the way a person would see it: pdftotext for
// the words, pdftoppm for the picture (the curve and the heat map in its
// pixels), a long table continued with its header, the decimal comma and
// Letter paper, a plate without a layout from the command line, and the
// print path into a PDF printer.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QImage>
#include <QLocale>
#include <QPrinter>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "analysis/analysis_report.h"
#include "analysis/plate_analysis.h"
#include "report/heat_map_scale.h"
#include "report/plate_report.h"
#include "report/report_painting.h"
#include "results/result_file.h"
#include "sim/reader_simulator.h"
#include "tests/report/report_fixture.h"
#include "tests/support/cli_in_process.h"
#include "tests/support/elisa_plate.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

using namespace report_fixture;

namespace {

std::string Output(const std::string& command) {
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
    pclose(pipe);
  }
  return text;
}

std::string PdfText(const std::string& pdf, int page = 0) {
  const std::string pages =
      page ? " -f " + std::to_string(page) + " -l " + std::to_string(page) : "";
  return Output("pdftotext -layout" + pages + " '" + pdf + "' - 2>/dev/null");
}

bool HasColour(const QImage& image, QColor wanted, int tolerance = 12) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - wanted.red()) <= tolerance &&
          std::abs(c.green() - wanted.green()) <= tolerance &&
          std::abs(c.blue() - wanted.blue()) <= tolerance) {
        return true;
      }
    }
  }
  return false;
}

analysis::PlateLayout ElisaLayout() {
  return analysis::ParseLayout(elisa_plate::LayoutFile()).layout;
}

PlateReport ElisaReport() {
  PlateReport report;
  report.title = "IL-6 ELISA";
  report.plateId = "PLATE-0042";
  report.operatorName = "Ada Tester";
  report.programVersion = "Platovix 9.8.7";
  report.plate = ElisaPlate();
  report.context.readerKind = "DigiScan";
  report.context.readerId = "12345";
  report.context.started = std::chrono::system_clock::from_time_t(1796000000);
  report.context.completed = std::chrono::system_clock::from_time_t(1796000042);
  report.archiveUuid = "6f1c1d2e-8a3b-4c5d-9e0f-112233445566";
  report.archiveHash = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
  report.layout = ElisaLayout();
  report.analysis = analysis::AnalysePlate(report.plate.nValue, *report.layout, {});
  report.verdict = "Passed";
  report.qcRules = {{"R2 >= 0.98", true, "0.9999"}, {"QC within 18-22", true, "20.1"}};
  return report;
}

class PlateReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    char pattern[] = "/tmp/platovix-report-XXXXXX";
    home_ = mkdtemp(pattern);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  }
  void TearDown() override {
    QLocale::setDefault(QLocale::c());
    fs::remove_all(home_);
  }
  std::string Write(const PlateReport& report, const std::string& name) {
    const std::string path = (home_ / name).string();
    QString error;
    EXPECT_TRUE(WritePlateReportPdf(report, QString::fromStdString(path), &error))
        << error.toStdString();
    return path;
  }
  fs::path home_;
};

}  // namespace

TEST_F(PlateReportTest, OnePageHoldsHeaderPlateCurveTableVerdictAndSignatures) {
  const PlateReport report = ElisaReport();
  const std::string pdf = Write(report, "elisa.pdf");
  const std::string text = PdfText(pdf);
  for (const std::string& expected :
       std::vector<std::string>{"IL-6 ELISA",
                                "Plate ID: PLATE-0042",
                                "Operator: Ada Tester",
                                "Reader: DigiScan, ID 12345",
                                "Filters: 450 nm / 620 nm (reference)",
                                "Read started: " + FormatIsoLocalTime(*report.context.started),
                                "Read completed: " + FormatIsoLocalTime(*report.context.completed),
                                "Program: Platovix 9.8.7",
                                "Archive record: " + report.archiveUuid,
                                report.archiveHash,
                                std::string("Model: 4pl"),
                                std::string("R² = "),
                                std::string("% Recovery"),
                                std::string("QC verdict: Passed"),
                                std::string("pass R2 >= 0.98 (0.9999)"),
                                std::string("Performed by:"),
                                std::string("Reviewed by:"),
                                std::string("Date:"),
                                std::string("Page 1 of 1"),
                                "Created " + FormatIsoLocalTime(report.created)}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  }
  // Every group of the table, with the analysis window's numbers.
  for (const auto& row : analysis::ResultsTableRows(*report.analysis)) {
    EXPECT_NE(text.find(row[0] + " "), std::string::npos) << row[0];
    EXPECT_NE(text.find(row[2]), std::string::npos) << row[2];
  }
  EXPECT_NE(text.find("0.050"), std::string::npos);  // A1, a blank
  EXPECT_NE(Output("pdfinfo '" + pdf + "'").find("(A4)"), std::string::npos);

  // The picture: the fitted curve's red, the standards' blue, both ends of the heat map.
  ASSERT_EQ(std::system(
                ("pdftoppm -r 60 -f 1 -l 1 -png '" + pdf + "' '" + (home_ / "page").string() + "'")
                    .c_str()),
            0);
  const QImage page(QString::fromStdString((home_ / "page-1.png").string()));
  ASSERT_FALSE(page.isNull());
  EXPECT_TRUE(HasColour(page, QColor(QRgb(kCurveRgb))));
  EXPECT_TRUE(HasColour(page, QColor(QRgb(kPointRgb))));
  EXPECT_TRUE(HasColour(page, HeatMapColour(0)));
  EXPECT_TRUE(HasColour(page, HeatMapColour(1)));
}

TEST_F(PlateReportTest, LongTableContinuesWithItsHeaderDecimalCommaOnLetter) {
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  PlateReport report = ElisaReport();
  report.verdict.clear();
  report.qcRules.clear();
  report.decimalComma = true;
  analysis::PlateLayout samples;
  for (int well = 0; well < kWells; ++well) {
    analysis::WellContent& content = samples.wells[static_cast<size_t>(well)];
    content.role = analysis::WellRole::Sample;
    content.name = "Sample " + analysis::WellName(well);
  }
  report.layout = samples;
  report.analysis = analysis::AnalysePlate(report.plate.nValue, samples, {});
  const std::string pdf = Write(report, "samples.pdf");

  const std::string info = Output("pdfinfo '" + pdf + "'");
  EXPECT_NE(info.find("612 x 792"), std::string::npos) << info;
  const std::string first = PdfText(pdf, 1), second = PdfText(pdf, 2), all = PdfText(pdf);
  EXPECT_NE(first.find("Sample A1"), std::string::npos);
  EXPECT_NE(second.find("Name"), std::string::npos) << second;
  EXPECT_NE(second.find("% Recovery"), std::string::npos);
  EXPECT_EQ(first.find("Performed by:"), std::string::npos);
  EXPECT_NE(second.find("Page 2 of "), std::string::npos);
  EXPECT_NE(all.find("Sample H11"), std::string::npos);
  EXPECT_NE(all.find("Performed by:"), std::string::npos);
  EXPECT_EQ(all.find("QC verdict"), std::string::npos);
  EXPECT_NE(first.find("0,050"), std::string::npos);  // the wells and the table
  EXPECT_EQ(first.find("0.050"), std::string::npos);
}

TEST_F(PlateReportTest, CommandLineReportsAPlateWithoutLayout) {
  const std::string saved = (home_ / "plate.json").string();
  std::string error;
  ResultContext context;
  context.readerKind = "Jupiter";
  context.started = std::chrono::system_clock::now();
  ASSERT_TRUE(SaveResultFile(saved, ElisaPlate(), context, false, &error)) << error;
  const std::string pdf = (home_ / "plain.pdf").string();
  const CliRun run = RunCliWith({"report", "--plate-id", "P-9", "-o", pdf, saved});
  ASSERT_EQ(run.code, 0) << run.err;
  const std::string text = PdfText(pdf);
  EXPECT_NE(text.find("Plate report"), std::string::npos) << text;
  EXPECT_NE(text.find("Plate ID: P-9"), std::string::npos);
  EXPECT_NE(text.find("Reader: Jupiter"), std::string::npos);
  EXPECT_NE(text.find("Reviewed by:"), std::string::npos);
  EXPECT_EQ(text.find("% Recovery"), std::string::npos);
  EXPECT_EQ(text.find("Standard curve"), std::string::npos);

  // With an assay the report takes the assay's name and its verdict.
  const std::string assayed = (home_ / "assayed.pdf").string();
  const CliRun withAssay =
      RunCliWith({"report", "--assay", test_paths::SourceDir() + "/examples/elisa-assay.json", "-o",
                  assayed, saved});
  ASSERT_EQ(withAssay.code, 0) << withAssay.err;
  const std::string assayedText = PdfText(assayed);
  EXPECT_NE(assayedText.find("Sandwich ELISA, TMB"), std::string::npos) << assayedText;
  EXPECT_NE(assayedText.find("QC verdict: "), std::string::npos);
  EXPECT_NE(assayedText.find("% Recovery"), std::string::npos);

  EXPECT_EQ(RunCliWith({"report", saved}).code, kExitUsage);  // no -o
  EXPECT_EQ(RunCliWith({"report", "-o", pdf, (home_ / "none.json").string()}).code, kExitFailure);
}

TEST_F(PlateReportTest, MeasureWritesTheReportOfTheReadItMade) {
  setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
  std::ofstream(home_ / "readings.txt") << elisa_plate::PlateFile(false);
  std::ofstream(home_ / "layout.csv") << elisa_plate::LayoutFile();
  sim::Options options;
  options.measureMs = 100;
  options.plateFile = (home_ / "readings.txt").string();
  sim::PtySimulator reader(options);
  const std::string pdf = (home_ / "read.pdf").string();
  const CliRun run = RunCliWith({"--port", reader.slavePath(), "measure", "--primary", "450",
                                 "--reference", "620", "--layout", (home_ / "layout.csv").string(),
                                 "--operator", "Bo", "--report", pdf});
  ASSERT_EQ(run.code, 0) << run.err;
  const std::string text = PdfText(pdf);
  EXPECT_NE(text.find("Operator: Bo"), std::string::npos) << text;
  EXPECT_NE(text.find("Reader: DigiScan, ID 12345"), std::string::npos);
  EXPECT_NE(text.find("Filters: 450 nm / 620 nm (reference)"), std::string::npos);
  EXPECT_EQ(text.find("Read started: -"), std::string::npos);
  EXPECT_NE(text.find("Standard 100"), std::string::npos);
}

TEST_F(PlateReportTest, ThePrintPathPaintsIntoAPdfPrinter) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  const std::string pdf = (home_ / "printed.pdf").string();
  printer.setOutputFileName(QString::fromStdString(pdf));
  EXPECT_GE(PaintPlateReport(ElisaReport(), &printer), 1);
  const std::string text = PdfText(pdf);
  EXPECT_NE(text.find("IL-6 ELISA"), std::string::npos) << text;
  EXPECT_NE(text.find("QC verdict: Passed"), std::string::npos);
}
