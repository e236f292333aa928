#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QtCharts/QChartView>
#include <QtCharts/QScatterSeries>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "analysis/analysis_report.h"
#include "analysis/plate_analysis.h"
#include "analysis_ui/analysis_window.h"
#include "analysis_ui/layout_editor.h"
#include "analysis_ui/layout_in_use.h"
#include "analysis_ui/report_actions.h"
#include "dialogs/template_dialog.h"
#include "preview/data_preview.h"
#include "preview/preview_save.h"
#include "results/file_time.h"
#include "results/result_file.h"
#include "tests/support/command_output.h"
#include "tests/support/result_state_guard.h"
#include "tests/ui/analysis_test_plate.h"
#include "tests/ui/ui_test_support.h"

namespace fs = std::filesystem;

namespace {

class AnalysisWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    char pattern[] = "/tmp/platovix-analysis-window-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    layoutPath_ = (dir_ / "elisa.csv").string();
    layout_ = TestLayout();
    ASSERT_TRUE(analysis::SaveLayoutFile(layoutPath_, layout_, nullptr));
    FillTestPlate(layout_, PlateResult);
    AppSettings.LayoutFile = layoutPath_;
    AppSettings.Fit = "4pl";
    AppSettings.Weight = "none";
    AppSettings.bDelimComma = 0;
  }
  void TearDown() override { fs::remove_all(dir_); }

  static ShownPlate Shown() {
    return {PlateResult, {"DigiScan", "12345", {}, {}}, "plate-450nm.csv"};
  }
  static QString FitText(AnalysisWindow& window) {
    return window.findChild<QLabel*>("fit")->text();
  }
  // The numbers the chart draws below its plot (Horizontal, left to right)
  // or left of it (Vertical, bottom up).
  static QStringList ChartNumbers(QChart* chart, Qt::Orientation axis) {
    std::vector<std::pair<double, QString>> found;
    const QRectF plot = chart->plotArea();
    for (QGraphicsItem* item : chart->scene()->items()) {
      auto* text = dynamic_cast<QGraphicsTextItem*>(item);
      if (!text || !text->isVisible()) continue;
      bool number = false;
      text->toPlainText().toDouble(&number);
      const QRectF box = text->sceneBoundingRect();
      if (!number) continue;
      if (axis == Qt::Horizontal && box.top() >= plot.bottom() - 1) {
        found.push_back({box.center().x(), text->toPlainText()});
      } else if (axis == Qt::Vertical && box.right() <= plot.left() + 1) {
        found.push_back({-box.center().y(), text->toPlainText()});
      }
    }
    std::sort(found.begin(), found.end());
    QStringList texts;
    for (const auto& [at, text] : found) texts << text;
    return texts;
  }
  static QPushButton* Button(QWidget& window, const char* name) {
    return window.findChild<QPushButton*>(name);
  }

  fs::path dir_;
  std::string layoutPath_;
  analysis::PlateLayout layout_;
  ResultStateGuard guard_;
  LayoutChooserStandIn chooser_;
  BoxRecorder boxes_;
};

TEST_F(AnalysisWindowTest, CopiesWhatTheAnalysisComputes) {
  AnalysisWindow window(nullptr, Shown());
  EXPECT_EQ(window.windowTitle(), "Platovix Analysis");
  const analysis::PlateAnalysis expected =
      analysis::AnalysePlate(std::span<const int32_t, kWells>(PlateResult.nValue), layout_, {});
  EXPECT_EQ(window.Result()->groups.size(), expected.groups.size());
  ASSERT_TRUE(expected.fit.fitted) << expected.fit.failure;
  // 7 standard levels, 39 sample pairs, 1 control.
  ASSERT_EQ(expected.groups.size(), 7u + 39u + 1u);

  QGuiApplication::clipboard()->clear();
  QTest::mouseClick(Button(window, "copy"), Qt::LeftButton);
  const QString copied = QGuiApplication::clipboard()->text();
  EXPECT_EQ(copied.toStdString(), analysis::ResultsTableText(expected, false));
  EXPECT_TRUE(copied.startsWith("Name\tRole\tWells\tMean\tSD\tCV %\tConcentration\tFlag\r\n"));
  EXPECT_EQ(copied.count("\r\n"), 1 + 47);

  auto* table = window.findChild<QTableWidget*>("results");
  ASSERT_EQ(table->rowCount(), 47);
  EXPECT_EQ(table->horizontalHeaderItem(5)->text(), "CV %");
  EXPECT_EQ(table->item(7, 0)->text(), "S1");
  EXPECT_EQ(table->item(7, 2)->text(), "A3 A4");
  EXPECT_EQ(table->item(7, 6)->text(),
            QString::fromStdString(analysis::FormatNumber(expected.groups[7].concentration)));

  EXPECT_TRUE(FitText(window).contains("4-parameter logistic")) << FitText(window).toStdString();
  EXPECT_TRUE(FitText(window).contains("R² = ")) << FitText(window).toStdString();
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A zip archive names its members in plain text in its directory.
bool IsWorkbookWithSheets(const fs::path& path, int sheets) {
  const std::string bytes = ReadAll(path);
  if (bytes.rfind("PK", 0) != 0) return false;
  const std::string last = "xl/worksheets/sheet" + std::to_string(sheets) + ".xml";
  const std::string beyond = "xl/worksheets/sheet" + std::to_string(sheets + 1) + ".xml";
  return bytes.find(last) != std::string::npos && bytes.find(beyond) == std::string::npos;
}

TEST_F(AnalysisWindowTest, SavesTheAnalysisAsCsvOrWorkbook) {
  AppSettings.bDelimComma = 1;
  AnalysisWindow window(nullptr, Shown());
  const analysis::PlateAnalysis expected = AnalysePlate(PlateResult, layout_);

  LayoutChooserStandIn::Chosen() = QString::fromStdString((dir_ / "result.csv").string());
  ASSERT_TRUE(window.SaveResults()) << BoxRecorder::Texts();
  EXPECT_EQ(ReadAll(dir_ / "result.csv"), analysis::AnalysisCsv(expected, true));

  LayoutChooserStandIn::Chosen() = QString::fromStdString((dir_ / "result.xlsx").string());
  Button(window, "save")->click();
  EXPECT_TRUE(IsWorkbookWithSheets(dir_ / "result.xlsx", 3)) << BoxRecorder::Texts();

  LayoutChooserStandIn::Chosen() = QString::fromStdString((dir_ / "gone" / "x.csv").string());
  EXPECT_FALSE(window.SaveResults());
  ASSERT_EQ(BoxRecorder::Boxes().size(), 1u);
  EXPECT_EQ(BoxRecorder::Boxes()[0].caption, "Error");
  LayoutChooserStandIn::Chosen().clear();
  EXPECT_FALSE(window.SaveResults()) << "cancelled";
  EXPECT_EQ(BoxRecorder::Boxes().size(), 1u);
}

// A member of the workbook, read by unzip.
std::string WorkbookPart(const fs::path& path, const char* member) {
  const std::string command = "unzip -p '" + path.string() + "' " + member;
  return CommandOutput(command);
}

QString& PreviewChoice() {
  static QString name;
  return name;
}

TEST_F(AnalysisWindowTest, ThePreviewSavesAWorkbookWithTheLayoutAndItsAnalysis) {
  SetSaveFileChooserForTesting([](QWidget*, const QString&) { return PreviewChoice(); });
  auto preview = CreateDataPreview(nullptr);
  PreviewChoice() = QString::fromStdString((dir_ / "plate.xlsx").string());
  preview->findChild<QPushButton*>("save")->click();
  SetSaveFileChooserForTesting(nullptr);
  ASSERT_TRUE(IsWorkbookWithSheets(dir_ / "plate.xlsx", 3)) << BoxRecorder::Texts();
  const std::string names = WorkbookPart(dir_ / "plate.xlsx", "xl/workbook.xml");
  for (const char* sheet : {"Plate", "Layout", "Analysis"}) {
    EXPECT_NE(names.find(std::string("name=\"") + sheet + "\""), std::string::npos) << sheet;
  }
  const std::string strings = WorkbookPart(dir_ / "plate.xlsx", "xl/sharedStrings.xml");
  EXPECT_NE(strings.find(">S39<"), std::string::npos) << "the last sample's result";
  EXPECT_TRUE(BoxRecorder::Boxes().empty()) << BoxRecorder::Texts();
}

TEST_F(AnalysisWindowTest, TheCurveShowsEveryStandardWellAndFollowsTheChosenModel) {
  AnalysisWindow window(nullptr, Shown());
  QChart* chart = window.findChild<QChartView*>("curve")->chart();
  const auto scatter = [&] { return qobject_cast<QScatterSeries*>(chart->series().value(0)); };
  ASSERT_NE(scatter(), nullptr);
  EXPECT_EQ(scatter()->count(), 14) << "every replicate its own point";
  ASSERT_EQ(chart->series().size(), 2) << "points and the fitted curve";
  EXPECT_EQ(chart->axes(Qt::Horizontal).value(0)->type(), QAbstractAxis::AxisTypeLogValue);
  window.findChild<QCheckBox*>("logarithmic")->click();
  EXPECT_EQ(chart->axes(Qt::Horizontal).value(0)->type(), QAbstractAxis::AxisTypeValue);

  window.show();
  auto* model = window.findChild<QComboBox*>("model");
  model->setFocus();
  QTest::keyClick(model, Qt::Key_Down);  // 4PL to 5PL
  EXPECT_EQ(AppSettings.Fit, "5pl");
  EXPECT_TRUE(FitText(window).contains("5-parameter logistic")) << FitText(window).toStdString();
  auto* weighting = window.findChild<QComboBox*>("weighting");
  weighting->setFocus();
  QTest::keyClick(weighting, Qt::Key_End);
  EXPECT_EQ(AppSettings.Weight, "1/y2");
  EXPECT_TRUE(FitText(window).contains("weighting 1/y2")) << FitText(window).toStdString();

  // The numbers as drawn: whole decades along a logarithmic axis (the
  // standards run from 1.37 to 1000), round steps up, as the report has them.
  window.findChild<QCheckBox*>("logarithmic")->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the linear axis' labels
  window.findChild<QChartView*>("curve")->grab();
  QCoreApplication::processEvents();
  EXPECT_EQ(ChartNumbers(chart, Qt::Horizontal), QStringList({"1", "10", "100", "1000", "10000"}));
  EXPECT_EQ(ChartNumbers(chart, Qt::Vertical).value(0), "0");
  EXPECT_GE(ChartNumbers(chart, Qt::Vertical).size(), 4);
  window.findChild<QCheckBox*>("logarithmic")->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  window.findChild<QChartView*>("curve")->grab();
  QCoreApplication::processEvents();
  EXPECT_EQ(ChartNumbers(chart, Qt::Horizontal),
            QStringList({"0", "200", "400", "600", "800", "1000"}));
}

TEST_F(AnalysisWindowTest, AFailedFitSaysWhyInTheWindow) {
  for (int well = 0; well < kWells; ++well) {
    if (layout_.wells[well].role == analysis::WellRole::Standard) PlateResult.nValue[well] = 800;
  }
  AnalysisWindow window(nullptr, Shown());
  EXPECT_TRUE(FitText(window).contains("The standard curve cannot be fitted"))
      << FitText(window).toStdString();
  EXPECT_TRUE(BoxRecorder::Boxes().empty()) << BoxRecorder::Texts();
  auto* table = window.findChild<QTableWidget*>("results");
  ASSERT_EQ(table->rowCount(), 47) << "the statistics stand without a curve";
  EXPECT_EQ(table->item(7, 6)->text(), "");
}

TEST_F(AnalysisWindowTest, WithoutALayoutItSaysSoAndOffersTheEditor) {
  AppSettings.LayoutFile.clear();
  AnalysisWindow window(nullptr, Shown());
  EXPECT_TRUE(window.findChild<QLabel*>("notice")->isVisibleTo(&window));
  EXPECT_FALSE(Button(window, "copy")->isEnabled());
  EXPECT_EQ(window.findChild<QTableWidget*>("results")->rowCount(), 0);

  LayoutChooserStandIn::Chosen() = QString::fromStdString(layoutPath_);
  ModalWatcher editor([](QWidget* modal) {
    auto* layoutEditor = qobject_cast<LayoutEditor*>(modal);
    if (layoutEditor == nullptr) return;
    EXPECT_TRUE(layoutEditor->OpenFile());
    layoutEditor->accept();
  });
  Button(window, "layout")->click();
  EXPECT_EQ(editor.Seen(), 1);
  EXPECT_EQ(AppSettings.LayoutFile, layoutPath_);
  EXPECT_FALSE(window.findChild<QLabel*>("notice")->isVisibleTo(&window));
  EXPECT_EQ(window.findChild<QTableWidget*>("results")->rowCount(), 47);
  EXPECT_TRUE(Button(window, "copy")->isEnabled());
}

TEST_F(AnalysisWindowTest, ThePreviewOpensTheEditorAndTheAnalysis) {
  auto preview = CreateDataPreview(nullptr);
  EXPECT_EQ(Button(*preview, "layout")->text(), "&Layout...");
  EXPECT_EQ(Button(*preview, "analysis")->text(), "A&nalysis...");
  QStringList titles;
  ModalWatcher windows([&titles](QWidget* modal) {
    titles << modal->windowTitle();
    qobject_cast<QDialog*>(modal)->reject();
  });
  Button(*preview, "layout")->click();
  Button(*preview, "analysis")->click();
  EXPECT_EQ(titles, QStringList({"Platovix Layout", "Platovix Analysis"}));
}

}  // namespace

QString& ReportChoice() {
  static QString name;
  return name;
}

std::string PdfText(const fs::path& pdf) {
  return CommandOutput("pdftotext -layout \'" + pdf.string() + "\' - 2>/dev/null");
}

TEST_F(AnalysisWindowTest, ThePreviewAndTheAnalysisWindowSaveThePlateReport) {
  SetReportFileChooserForTesting([](QWidget*, const QString&) { return ReportChoice(); });
  auto preview = CreateDataPreview(nullptr);
  ReportChoice() = QString::fromStdString((dir_ / "preview.pdf").string());
  Button(*preview, "report")->click();
  EXPECT_NE(Button(*preview, "print"), nullptr);

  AnalysisWindow window(nullptr, Shown());
  ReportChoice() = QString::fromStdString((dir_ / "window.pdf").string());
  Button(window, "report")->click();
  EXPECT_NE(Button(window, "print"), nullptr);
  SetReportFileChooserForTesting(nullptr);

  for (const char* name : {"preview.pdf", "window.pdf"}) {
    const std::string text = PdfText(dir_ / name);
    EXPECT_NE(text.find("Plate report"), std::string::npos) << name << BoxRecorder::Texts();
    EXPECT_NE(text.find("% Recovery"), std::string::npos) << name;
    EXPECT_NE(text.find("Performed by:"), std::string::npos) << name;
  }
  EXPECT_NE(PdfText(dir_ / "window.pdf").find("Reader: DigiScan, ID 12345"), std::string::npos);
  EXPECT_TRUE(BoxRecorder::Boxes().empty()) << BoxRecorder::Texts();
}

// Every output of the desktop program names when the read began and ended.
TEST_F(AnalysisWindowTest, ThePreviewsFilesCarryBothTimesOfTheRead) {
  PlateResult.ftStarted = FileTimeFromLocalNow();
  PlateResult.ftMeasured = PlateResult.ftStarted;
  const std::string when = FormatIsoLocalTime(*InstantOfFileTime(PlateResult.ftStarted));
  SetSaveFileChooserForTesting([](QWidget*, const QString&) { return PreviewChoice(); });
  auto preview = CreateDataPreview(nullptr);
  for (const char* name : {"timed.xlsx", "timed.csv"}) {
    PreviewChoice() = QString::fromStdString((dir_ / name).string());
    preview->findChild<QPushButton*>("save")->click();
  }
  SetSaveFileChooserForTesting(nullptr);
  const std::string strings = WorkbookPart(dir_ / "timed.xlsx", "xl/sharedStrings.xml");
  EXPECT_NE(strings.find(">" + when + "<"), std::string::npos) << strings;
  const std::string csv = ReadAll(dir_ / "timed.csv");
  EXPECT_NE(csv.find("started," + when + "\n"), std::string::npos) << csv;
  EXPECT_NE(csv.find("completed," + when + "\n"), std::string::npos) << csv;
}
