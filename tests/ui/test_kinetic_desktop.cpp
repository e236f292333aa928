// The desktop's kinetic run against the simulated reader's kinetic plate:
// the Kinetic controls, the series read by read, the plate of curves with
// its table and large curve, its Save (CSV or workbook) and Report, and a
// run ended early by Abort or a reader error.
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "analysis_ui/analysis_window.h"
#include "analysis_ui/file_questions.h"
#include "analysis_ui/kinetic_plate_view.h"
#include "analysis_ui/kinetic_window.h"
#include "analysis_ui/report_actions.h"
#include "analysis_ui/well_curve_dialog.h"
#include "archive/archive_store.h"
#include "results/workbook_reader.h"
#include "sim/reader_simulator.h"
#include "tests/support/pdf_words.h"
#include "tests/support/temp_home.h"
#include "tests/support/test_paths.h"
#include "tests/ui/ui_test_support.h"
#include "ui/kinetic_run.h"
#include "ui/main_dialog.h"

namespace fs = std::filesystem;

namespace {

std::vector<archive::ReadSummary> Archived() {
  std::vector<std::string> messages;
  std::string error;
  std::vector<archive::ReadSummary> reads;
  auto archive = archive::OpenArchiveForReading({}, &messages, &error);
  if (archive) archive->ListReads({}, false, &reads, &error);
  return reads;
}

// The run's own record: which reads it took, how it ended.
archive::RunRecord StoredRun(const std::string& uuid) {
  std::vector<std::string> messages;
  std::string error;
  archive::RunRecord run;
  auto archive = archive::OpenArchiveForReading({}, &messages, &error);
  if (!archive || !archive->GetRun(uuid, &run, &error)) ADD_FAILURE() << "no run " << uuid << error;
  return run;
}

QString& SaveChoice() {
  static QString choice;
  return choice;
}

class KineticDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    ResetProgramState();
    StartReader(sim::Family::DigiScan);
    AppSettings.nComPort = 1;
    AppSettings.bAutoCopy = 0;
    AppSettings.bAutoView = 0;
  }
  void TearDown() override {
    dialog_.reset();
    if (KineticWindow* window = OpenKineticWindow()) delete window;
    if (AnalysisWindow* window = OpenAnalysisWindow()) delete window;
    ResetProgramState();
  }

  void StartReader(sim::Family family) {
    sim::Options options;
    options.family = family;
    options.scenario = sim::PlateScenario::Kinetic;
    options.measureMs = 100;
    reader_.reset();
    reader_ = std::make_unique<sim::PtySimulator>(options);
    PortMap.szDevice[1] = reader_->slavePath();
    AppSettings.readerSubType = family == sim::Family::DigiScan ? 0 : 1;
  }

  MainDialog& OpenDialog() {
    dialog_ = std::make_unique<MainDialog>();
    dialog_->show();
    dialog_->Combo(kPrimaryList)->setEditText("405");
    return *dialog_;
  }
  template <typename T>
  T* Control(const char* name) {
    return dialog_->findChild<T*>(QString::fromLatin1(name));
  }
  // Kinetic checked with reads and interval, then Measure.
  void StartRun(int reads, int seconds) {
    Control<QCheckBox>("kinetic")->setChecked(true);
    Control<QSpinBox>("kineticReads")->setValue(reads);
    Control<QSpinBox>("kineticInterval")->setValue(seconds);
    Press(kMeasureButton);
  }
  void Press(int id) { qobject_cast<QPushButton*>(dialog_->Item(id))->click(); }
  // Until count reads are in; with an interval longer than a read (about
  // five seconds here) the run then waits for the next.
  bool WaitForReads(size_t count) {
    return QTest::qWaitFor([&] { return dialog_->Kinetic()->Series().size() >= count; }, 60000);
  }
  bool WaitUntilRunEnded() {
    return QTest::qWaitFor(
        [&] { return !dialog_->Kinetic()->Active() && hWorkerThread == nullptr; }, 60000);
  }
  // How many plate reads the reader has been told to start.
  size_t StartsSent() {
    const auto sent = reader_->reader().Commands();
    return static_cast<size_t>(std::count_if(
        sent.begin(), sent.end(), [](const std::string& c) { return c.rfind("Sf", 0) == 0; }));
  }
  void ExpectIdleButtons() {
    EXPECT_EQ(dialog_->ItemText(kMeasureButton), "&Measure");
    for (int id : {kMeasureButton, kFiltersButton, kCalibrateButton, kPlateInButton,
                   kPlateOutButton, kPrimaryList}) {
      EXPECT_TRUE(dialog_->Item(id)->isEnabled()) << id;
    }
  }

  BoxRecorder boxes_;
  TempHome temp_{"ui-kinetic"};
  std::unique_ptr<sim::PtySimulator> reader_;
  std::unique_ptr<MainDialog> dialog_;
};

}  // namespace

TEST_F(KineticDesktop, KineticControlsAreOffByDefaultAndMeasureReadsOnce) {
  MainDialog& dialog = OpenDialog();
  auto* check = Control<QCheckBox>("kinetic");
  ASSERT_NE(check, nullptr);
  EXPECT_FALSE(check->isChecked());
  EXPECT_FALSE(Control<QSpinBox>("kineticReads")->isEnabled());
  EXPECT_FALSE(Control<QSpinBox>("kineticInterval")->isEnabled());
  // The template's own controls keep their texts and places.
  for (const auto& [id, text] : std::vector<std::pair<int, QString>>{
           {kMeasureButton, "&Measure"}, {kFiltersButton, "&Filters"}, {kStatusLine, ""}}) {
    EXPECT_EQ(dialog.ItemText(id), text) << id;
  }
  for (QWidget* kinetic :
       {static_cast<QWidget*>(check), static_cast<QWidget*>(Control<QSpinBox>("kineticReads"))}) {
    for (int id : {kMeasureButton, kCloseButton, kPrimaryList, kStatusLine, kReferenceList}) {
      EXPECT_FALSE(kinetic->geometry().intersects(dialog.Item(id)->geometry())) << id;
    }
  }

  Press(kMeasureButton);
  ASSERT_TRUE(QTest::qWaitFor([] { return hWorkerThread == nullptr; }, 30000));
  EXPECT_EQ(BoxRecorder::Texts(), "");
  EXPECT_EQ(dialog.ItemText(kStatusLine), "success");
  EXPECT_EQ(PlateResult.bValid, 1);
  EXPECT_EQ(OpenKineticWindow(), nullptr);
  EXPECT_EQ(Archived().size(), 1u);
  ExpectIdleButtons();
}

TEST_F(KineticDesktop, RunFillsThePlateOfCurvesReadByRead) {
  // The kinetic assay fills in the controls; the run is made shorter.
  AppSettings.AssayFile =
      (fs::path(test_paths::SourceDir()) / "examples" / "kinetic-assay.json").string();
  MainDialog& dialog = OpenDialog();
  EXPECT_TRUE(Control<QCheckBox>("kinetic")->isChecked());
  EXPECT_EQ(Control<QSpinBox>("kineticReads")->value(), 12);
  EXPECT_EQ(Control<QSpinBox>("kineticInterval")->value(), 5);

  std::set<QString> statuses;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout,
                   [&] { statuses.insert(dialog.ItemText(kStatusLine)); });
  watch.start(20);
  StartRun(5, 6);
  ASSERT_TRUE(WaitForReads(2)) << BoxRecorder::Texts();
  ASSERT_TRUE(dialog.Kinetic()->Waiting());
  // Between reads only Abort is there to press, and the filters stay as they are.
  EXPECT_EQ(dialog.ItemText(kMeasureButton), "&Abort");
  EXPECT_FALSE(dialog.Item(kFiltersButton)->isEnabled());
  EXPECT_FALSE(dialog.Item(kPrimaryList)->isEnabled());
  KineticWindow* window = OpenKineticWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->Reads().size(), 2u);  // live, before the run ends

  ASSERT_TRUE(WaitUntilRunEnded());
  watch.stop();
  EXPECT_EQ(BoxRecorder::Texts(), "");
  EXPECT_EQ(dialog.ItemText(kStatusLine), "success");
  ExpectIdleButtons();
  const QRegularExpression countdown(QStringLiteral("^Read [1-4] of 5, next in [0-6] s$"));
  EXPECT_TRUE(std::any_of(statuses.begin(), statuses.end(),
                          [&](const QString& s) { return countdown.match(s).hasMatch(); }));

  // Start to start, on the run's own clock: never sooner than the interval.
  const auto& reads = window->Reads();
  ASSERT_EQ(reads.size(), 5u);
  EXPECT_EQ(reads[0].seconds, 0);
  for (size_t i = 1; i < reads.size(); ++i) EXPECT_GE(reads[i].seconds, 6 * i - 0.01) << i;
  EXPECT_EQ(Archived().size(), 5u);  // every read stored as any read
  const archive::RunRecord run = StoredRun(dialog.Kinetic()->LastRunUuid());
  EXPECT_EQ(run.status, archive::ReadStatus::Completed);
  ASSERT_EQ(run.reads.size(), 5u);  // and tied together by the run's record
  EXPECT_EQ(run.reads[4].uuid, Archived().front().uuid);
  EXPECT_NE(run.analysisJson.find("\"mode\":\"rate\""), std::string::npos);

  // The table: every well, blanks included; E1 at full strength is the fastest.
  QTableWidget* table = window->Table();
  ASSERT_EQ(table->rowCount(), 96);
  EXPECT_EQ(table->horizontalHeaderItem(3)->text(), "Rate (mOD/min)");
  double fastest = 0, a1 = 0;
  for (int row = 0; row < 96; ++row) {
    bool ok = false;
    const double rate = table->item(row, 3)->text().toDouble(&ok);
    EXPECT_TRUE(ok) << row << " " << table->item(row, 3)->text().toStdString();
    fastest = std::max(fastest, rate);
    if (table->item(row, 0)->text() == "A1") a1 = rate;
  }
  EXPECT_EQ(a1, fastest);
  EXPECT_GT(a1, 150);

  // A click on A1 opens its curve large, with its numbers.
  KineticPlateView* plate = window->Plate();
  QTest::mouseClick(plate, Qt::LeftButton, {}, plate->WellRect(0).center());
  WellCurveDialog* well = window->OpenWell();
  ASSERT_NE(well, nullptr);
  EXPECT_TRUE(well->isVisible());
  EXPECT_EQ(well->windowTitle(), "Well A1 - E1-1");
  EXPECT_TRUE(well->NumbersText().contains("Rate (mOD/min): "))
      << well->NumbersText().toStdString();
  EXPECT_TRUE(well->NumbersText().contains("Lag (min): "));
  QTest::mouseClick(plate, Qt::LeftButton, {}, plate->WellRect(95).center());
  EXPECT_EQ(well->windowTitle(), "Well H12");  // a blank has no name

  // Copy: the table with its header; Save: the series and the table, as
  // CSV or as a workbook, and nothing else.
  window->findChild<QPushButton*>("copy")->click();
  const QStringList lines = QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 97);
  EXPECT_TRUE(lines[1].startsWith("A1\tE1-1\t"));
  SetFileChooserForTesting([](QWidget*, FileQuestion, const QString&) { return SaveChoice(); });
  for (const char* name : {"series.csv", "series.xlsx", "series.txt"}) {
    SaveChoice() = QString::fromStdString((temp_.path() / name).string());
    window->findChild<QPushButton*>("save")->click();
  }
  SetFileChooserForTesting(nullptr);
  std::ifstream saved(temp_.path() / "series.csv");
  std::stringstream text;
  text << saved.rdbuf();
  EXPECT_EQ(text.str().rfind("elapsed [s],A1,", 0), 0u) << text.str().substr(0, 80);
  EXPECT_NE(text.str().find("\nA1,E1-1,"), std::string::npos);
  workbook_xml::Rows cells;
  std::string error;
  ASSERT_TRUE(ReadWorkbookSheet((temp_.path() / "series.xlsx").string(), "Series", &cells, &error))
      << error;
  ASSERT_EQ(cells.size(), reads.size() + 1);
  for (size_t i = 0; i < reads.size(); ++i) {
    const auto& row = cells[static_cast<int>(i) + 1];
    EXPECT_EQ(row.at(1).number, reads[i].seconds);
    for (int w = 0; w < kWells; ++w) {
      EXPECT_EQ(row.at(w + 2).number, reads[i].values[static_cast<size_t>(w)] / 1000.0) << i << w;
    }
  }
  EXPECT_FALSE(fs::exists(temp_.path() / "series.txt"));
  EXPECT_NE(BoxRecorder::Texts().find("saved as CSV or as a workbook"), std::string::npos);

  // Report: the run's facts, and each well's rate under the rate header as the table shows it.
  static QString reportPath;
  reportPath = QString::fromStdString((temp_.path() / "run.pdf").string());
  SetReportFileChooserForTesting([](QWidget*, const QString&) { return reportPath; });
  window->findChild<QPushButton*>("report")->click();
  SetReportFileChooserForTesting(nullptr);
  const std::vector<PdfWord> words = ReadPdfWords(reportPath.toStdString());
  ASSERT_FALSE(words.empty());
  for (const std::string& phrase :
       std::vector<std::string>{"Phosphatase kinetics", "Mode: rate", "Reads: 5", "Interval: 6 s",
                                "Archive record: " + dialog.Kinetic()->LastRunUuid(),
                                "Archive chain head:", "(archive.sqlite)"}) {
    EXPECT_FALSE(FindPdfPhrase(words, phrase).empty()) << phrase;
  }
  EXPECT_TRUE(FindPdfPhrase(words, "not archived").empty());
  std::vector<std::string> headers;
  for (int c = 0; c < table->columnCount(); ++c)
    headers.push_back(table->horizontalHeaderItem(c)->text().toStdString());
  const std::vector<PdfTableRow> rows = ReadPdfTable(words, headers);
  std::map<std::string, std::string> rates;
  for (const PdfTableRow& row : rows) rates[row.Under("Well")] = row.Under("Rate (mOD/min)");
  for (int row = 0; row < table->rowCount(); ++row) {
    EXPECT_EQ(rates[table->item(row, 0)->text().toStdString()],
              table->item(row, 3)->text().toStdString())
        << row;
  }
}

TEST_F(KineticDesktop, AbortOrAReaderErrorEndsTheRunKeepingItsReads) {
  MainDialog& dialog = OpenDialog();
  StartRun(10, 8);
  ASSERT_TRUE(WaitForReads(1));
  ASSERT_TRUE(dialog.Kinetic()->Waiting());
  Press(kMeasureButton);  // Abort while waiting for the second read
  ASSERT_TRUE(WaitUntilRunEnded());
  EXPECT_EQ(dialog.ItemText(kStatusLine), "User aborted. 1 of 10 reads kept.");
  EXPECT_EQ(OpenKineticWindow()->Reads().size(), 1u);
  EXPECT_EQ(OpenKineticWindow()->Table()->rowCount(), 96);
  EXPECT_EQ(Archived().size(), 1u);
  const archive::RunRecord aborted = StoredRun(dialog.Kinetic()->LastRunUuid());
  EXPECT_EQ(aborted.status, archive::ReadStatus::Aborted);
  EXPECT_EQ(aborted.reads.size(), 1u);
  ExpectIdleButtons();

  // Abort while a read runs: that read ends aborted, the ones before stay.
  reader_->reader().InjectFault(sim::Fault::StuckBusy, -1);
  StartRun(10, 0);
  ASSERT_TRUE(QTest::qWaitFor([] { return hWorkerThread != nullptr; }, 5000));
  Press(kMeasureButton);
  ASSERT_TRUE(WaitUntilRunEnded());
  EXPECT_TRUE(dialog.ItemText(kStatusLine).endsWith(" 0 of 10 reads kept."))
      << dialog.ItemText(kStatusLine).toStdString();
  reader_->reader().ClearFaults();

  // A reader error in the second read: its message, and the read before it.
  StartRun(10, 8);
  ASSERT_TRUE(WaitForReads(1));
  ASSERT_TRUE(dialog.Kinetic()->Waiting());
  const size_t started = StartsSent();
  ASSERT_TRUE(QTest::qWaitFor([&] { return StartsSent() > started; }, 30000));
  reader_->reader().InjectFault(sim::Fault::ReaderError, 1, 7);  // at its first plate check
  ASSERT_TRUE(WaitUntilRunEnded());
  ASSERT_EQ(BoxRecorder::Boxes().size(), 1u) << BoxRecorder::Texts();
  EXPECT_EQ(BoxRecorder::Boxes()[0].caption, "Error");
  EXPECT_TRUE(dialog.ItemText(kStatusLine).endsWith(" 1 of 10 reads kept."))
      << dialog.ItemText(kStatusLine).toStdString();
  EXPECT_EQ(OpenKineticWindow()->Reads().size(), 1u);
  ExpectIdleButtons();

  // The same error between reads strikes before the next start command,
  // while that read waits for an idle reader: shown all the same.
  StartRun(10, 8);
  ASSERT_TRUE(WaitForReads(1));
  ASSERT_TRUE(dialog.Kinetic()->Waiting());
  reader_->reader().InjectFault(sim::Fault::ReaderError, 1, 7);
  const size_t before = StartsSent();
  ASSERT_TRUE(WaitUntilRunEnded()) << dialog.ItemText(kStatusLine).toStdString();
  EXPECT_EQ(StartsSent(), before);
  ASSERT_EQ(BoxRecorder::Boxes().size(), 2u) << BoxRecorder::Texts();
  EXPECT_EQ(BoxRecorder::Boxes()[1].text, "Reader error 7.");
  EXPECT_EQ(dialog.ItemText(kStatusLine), "Reader error 7. 1 of 10 reads kept.");
  ExpectIdleButtons();
}

TEST_F(KineticDesktop, JupiterAsksForThePlateOnceARun) {
  StartReader(sim::Family::Jupiter);
  MainDialog& dialog = OpenDialog();
  StartRun(3, 0);
  ASSERT_TRUE(WaitUntilRunEnded());
  EXPECT_EQ(dialog.ItemText(kStatusLine), "success");
  EXPECT_EQ(dialog.Kinetic()->Series().size(), 3u);
  EXPECT_EQ(BoxRecorder::Texts(), "Confirm: Insert a plate and click OK\r\n\n");

  // The next run asks again, and a refusal ends it before any read.
  BoxRecorder::Answer() = kAnswerCancel;
  StartRun(3, 0);
  ASSERT_TRUE(WaitUntilRunEnded());
  EXPECT_EQ(BoxRecorder::Boxes().size(), 2u);
  EXPECT_EQ(dialog.ItemText(kStatusLine), "User aborted. 0 of 3 reads kept.");
}
