// The whole road from a button of the main dialog through the worker, the
// driver and a pseudo-terminal to the simulated reader, and back to the
// dialog's completion handling.
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <memory>

#include "results/result_text.h"
#include "sim/reader_simulator.h"
#include "tests/support/pty_pair.h"
#include "tests/ui/ui_test_support.h"
#include "ui/calibration_dialog.h"
#include "ui/main_dialog.h"

namespace {

constexpr int kOperationButtons[] = {kMeasureButton, kFiltersButton, kCalibrateButton,
                                     kPlateInButton, kPlateOutButton};

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    ResetProgramState();
    AppSettings.nComPort = 1;
    AppSettings.bAutoCopy = 0;
    AppSettings.bAutoView = 0;
  }
  void TearDown() override {
    dialog_.reset();
    ResetProgramState();
  }

  sim::ReaderSimulator& StartReader(sim::Family family, int measureMs = 300) {
    sim::Options options;
    options.family = family;
    options.measureMs = measureMs;
    options.moveMs = 200;
    options.calibrateMs = 200;
    options.verbose = getenv("SIM_VERBOSE") != nullptr;
    reader_ = std::make_unique<sim::PtySimulator>(options);
    PortMap.szDevice[1] = reader_->slavePath();
    AppSettings.readerSubType = family == sim::Family::DigiScan ? 0 : 1;
    return reader_->reader();
  }

  MainDialog& OpenDialog() {
    dialog_ = std::make_unique<MainDialog>();
    dialog_->show();
    return *dialog_;
  }

  void Press(int id) { qobject_cast<QPushButton*>(dialog_->Item(id))->click(); }

  // Waits until the running operation has been wound up.
  static bool WaitUntilIdle(int ms = 30000) {
    return QTest::qWaitFor([] { return hWorkerThread == nullptr; }, ms);
  }

  // While running: only the launching button is enabled, and it aborts.
  void ExpectRunningState(int launchedBy) {
    ASSERT_NE(hWorkerThread, nullptr);
    for (int id : kOperationButtons) {
      EXPECT_EQ(dialog_->Item(id)->isEnabled(), id == launchedBy) << id;
    }
    EXPECT_EQ(dialog_->ItemText(launchedBy), "&Abort");
    for (int id : {kCopyButton, kPreviewButton, kCloseButton, kOptionsButton, kDetailsButton}) {
      EXPECT_TRUE(dialog_->Item(id)->isEnabled()) << id;
    }
  }

  void ExpectIdleButtons() {
    EXPECT_EQ(dialog_->ItemText(kMeasureButton), "&Measure");
    EXPECT_EQ(dialog_->ItemText(kFiltersButton), "&Filters");
    EXPECT_EQ(dialog_->ItemText(kCalibrateButton), "Calib&rate...");
    EXPECT_EQ(dialog_->ItemText(kPlateInButton), "Plate &IN");
    EXPECT_EQ(dialog_->ItemText(kPlateOutButton), "Plate O&UT");
    for (int id : kOperationButtons) EXPECT_TRUE(dialog_->Item(id)->isEnabled()) << id;
    EXPECT_EQ(hComPort, kInvalidPort);
  }

  // Waits until the reader has been sent a command starting with prefix.
  bool WaitForCommand(const std::string& prefix) {
    return QTest::qWaitFor(
        [&] {
          const auto sent = reader_->reader().Commands();
          return std::any_of(sent.begin(), sent.end(),
                             [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
        },
        30000);
  }

  // A DigiScan measurement at 405 nm, up to the reader's start command.
  bool MeasurementStarted() {
    StartReader(sim::Family::DigiScan);
    dialog_->Combo(kPrimaryList)->setEditText("405");
    Press(kMeasureButton);
    return WaitForCommand("Sf");
  }

  BoxRecorder boxes_;
  std::unique_ptr<sim::PtySimulator> reader_;
  std::unique_ptr<MainDialog> dialog_;
};

TEST_F(EndToEndTest, MeasurementWithReferenceIsCopiedThenPreviewed) {
  sim::ReaderSimulator& reader = StartReader(sim::Family::DigiScan);
  AppSettings.bAutoCopy = 1;
  AppSettings.bAutoView = 1;
  QGuiApplication::clipboard()->clear();
  QString clipboardWhenPreviewOpened;
  QString firstCell, lastCell;
  ModalWatcher preview([&](QWidget* modal) {
    auto* dialog = static_cast<TemplateDialog*>(modal);
    clipboardWhenPreviewOpened = QGuiApplication::clipboard()->text();
    firstCell = dialog->ItemText(102);
    lastCell = dialog->ItemText(197);
    dialog->SendCommand(2);
  });
  MainDialog& dialog = OpenDialog();
  dialog.Combo(kPrimaryList)->setEditText("405");
  dialog.SetChecked(kReferenceCheck, true);
  dialog.SendCommand(kReferenceCheck);
  dialog.Combo(kReferenceList)->setEditText("492");

  Press(kMeasureButton);
  ExpectRunningState(kMeasureButton);
  EXPECT_EQ(PlateResult.bValid, 0);
  ASSERT_TRUE(WaitUntilIdle());
  ASSERT_TRUE(QTest::qWaitFor([&] { return preview.Seen() == 1; }, 5000));

  EXPECT_EQ(BoxRecorder::Texts(), "");
  EXPECT_EQ(dialog.ItemText(kStatusLine), "success");
  ExpectIdleButtons();
  EXPECT_EQ(PlateResult.bValid, 1);
  EXPECT_NE(PlateResult.ftMeasured, 0u);
  EXPECT_EQ(PlateResult.nPrimary, 405);
  EXPECT_EQ(PlateResult.nReference, 492);
  EXPECT_EQ(AppSettings.nLastF1, 405);
  EXPECT_EQ(AppSettings.nLastF2, 492);
  for (int well : {0, 11, 12, 95}) {
    EXPECT_EQ(PlateResult.nValue[well], reader.Reading(405, well) - reader.Reading(492, well))
        << well;
  }

  const QString expectedText = QString::fromLatin1(BuildResultText());
  EXPECT_TRUE(expectedText.contains("Filter(s)"));
  EXPECT_EQ(clipboardWhenPreviewOpened, expectedText);  // the copy came first
  char cell[kWellTextSize];
  FormatWellValue(PlateResult.nValue[0], false, cell, sizeof cell);
  EXPECT_EQ(firstCell, cell);
  FormatWellValue(PlateResult.nValue[95], false, cell, sizeof cell);
  EXPECT_EQ(lastCell, cell);
}

TEST_F(EndToEndTest, JupiterAsksForThePlateOnTheDialogsBehalf) {
  StartReader(sim::Family::Jupiter);
  MainDialog& dialog = OpenDialog();
  dialog.Combo(kPrimaryList)->setEditText("450");
  dialog.Combo(kReferenceList)->setEditText("620");  // unchecked: no reference
  Press(kMeasureButton);
  ASSERT_TRUE(WaitUntilIdle());
  ASSERT_EQ(BoxRecorder::Boxes().size(), 1u) << BoxRecorder::Texts();
  EXPECT_EQ(BoxRecorder::Boxes()[0].caption, "Confirm");
  EXPECT_EQ(BoxRecorder::Boxes()[0].buttons, kButtonsOkCancel);
  EXPECT_EQ(PlateResult.bValid, 1);
  EXPECT_EQ(PlateResult.nReference, 0);
  EXPECT_EQ(PlateResult.nValue[13], reader_->reader().Reading(450, 13));
  EXPECT_EQ(dialog.windowTitle(), "Platovix - Jupiter/Expert");
}

TEST_F(EndToEndTest, JupiterPlateRefusedEndsLikeAnAbort) {
  StartReader(sim::Family::Jupiter);
  BoxRecorder::Answer() = kAnswerCancel;
  MainDialog& dialog = OpenDialog();
  dialog.Combo(kPrimaryList)->setEditText("450");
  Press(kMeasureButton);
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(BoxRecorder::Texts(), "Confirm: Insert a plate and click OK\r\n\n");
  EXPECT_EQ(dialog.ItemText(kStatusLine), "User aborted.");
  EXPECT_EQ(PlateResult.bValid, 0);
  const auto sent = reader_->reader().Commands();
  EXPECT_NE(std::find(sent.begin(), sent.end(), "IG"), sent.end());
}

TEST_F(EndToEndTest, FilterDiscoveryRefillsTheLists) {
  StartReader(sim::Family::Expert);
  FilterTable.nCount = 1;
  FilterTable.nWavelength[0] = 340;
  AppSettings.nLastF1 = 340;
  MainDialog& dialog = OpenDialog();
  EXPECT_EQ(dialog.Combo(kPrimaryList)->currentText(), "340");
  Press(kFiltersButton);
  ExpectRunningState(kFiltersButton);
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(BoxRecorder::Texts(), "");
  ExpectIdleButtons();
  EXPECT_EQ(FilterTable.nCount, 6);
  QComboBox* primary = dialog.Combo(kPrimaryList);
  ASSERT_EQ(primary->count(), 6);
  EXPECT_EQ(primary->itemText(0), "405");
  EXPECT_EQ(primary->itemText(5), "690");
  EXPECT_EQ(dialog.Combo(kReferenceList)->count(), 6);
  EXPECT_EQ(primary->currentText(), "");  // to be chosen again
  EXPECT_EQ(dialog.Combo(kReferenceList)->currentText(), "");
}

TEST_F(EndToEndTest, CalibrationOfOnePosition) {
  sim::ReaderSimulator& reader = StartReader(sim::Family::DigiScan);
  FilterTable.nCount = 6;
  const int fitted[] = {405, 450, 492, 540, 620, 690};
  std::copy(std::begin(fitted), std::end(fitted), FilterTable.nWavelength);
  ModalWatcher calibration([](QWidget* modal) {
    auto* dialog = qobject_cast<CalibrationDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    dialog->SetItemText(153, "500");
    qobject_cast<QAbstractButton*>(dialog->Item(143))->click();
    dialog->SendCommand(1);
  });
  MainDialog& dialog = OpenDialog();
  Press(kCalibrateButton);
  ASSERT_EQ(calibration.Seen(), 1);
  ExpectRunningState(kCalibrateButton);
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(BoxRecorder::Texts(), "");
  EXPECT_EQ(dialog.ItemText(kStatusLine), "calibrated.");
  EXPECT_EQ(reader.Filters()[2], 500);
  EXPECT_EQ(reader.Filters()[1], 450);
  EXPECT_EQ(FilterTable.nWavelength[2], 500);
  EXPECT_EQ(dialog.Combo(kPrimaryList)->itemText(2), "500");
  ExpectIdleButtons();
}

TEST_F(EndToEndTest, CarrierMovesLeaveTheResultAlone) {
  StartReader(sim::Family::DigiScan);
  PlateResult.bValid = 1;  // an earlier plate
  PlateResult.nValue[0] = 1234;
  MainDialog& dialog = OpenDialog();
  PlateResult.bValid = 1;
  PlateResult.nValue[0] = 1234;
  for (int button : {kPlateInButton, kPlateOutButton}) {
    reader_->reader().ClearLog();
    Press(button);
    ExpectRunningState(button);
    QGuiApplication::clipboard()->clear();
    Press(kCopyButton);  // the previous plate can still be copied
    EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith("1.234\t"));
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(dialog.ItemText(kStatusLine), "");
    const auto sent = reader_->reader().Commands();
    EXPECT_NE(std::find(sent.begin(), sent.end(), button == kPlateInButton ? "Mm2000G" : "IG"),
              sent.end());
    ExpectIdleButtons();
  }
  EXPECT_EQ(BoxRecorder::Texts(), "");
  EXPECT_EQ(PlateResult.bValid, 1);
}

TEST_F(EndToEndTest, AbortEndsQuietlyWithoutAResult) {
  MainDialog& dialog = OpenDialog();
  ASSERT_TRUE(MeasurementStarted());
  reader_->reader().InjectFault(sim::Fault::StuckBusy, -1);  // the plate never finishes
  QElapsedTimer clock;
  clock.start();
  Press(kMeasureButton);  // it reads "&Abort" now
  ASSERT_TRUE(WaitUntilIdle(5000));
  EXPECT_LT(clock.elapsed(), 3000);
  EXPECT_EQ(BoxRecorder::Texts(), "");
  EXPECT_EQ(dialog.ItemText(kStatusLine), "User aborted.");
  ExpectIdleButtons();
  EXPECT_EQ(PlateResult.bValid, 0);
  Press(kCopyButton);
  Press(kPreviewButton);
  EXPECT_EQ(BoxRecorder::Texts(), "Warning: No valid data.\nWarning: No valid data.\n");
}

TEST_F(EndToEndTest, SilentReaderIsReportedAsNotResponding) {
  PtyPair line;  // nobody answers on the far end
  PortMap.szDevice[1] = line.slavePath();
  MainDialog& dialog = OpenDialog();
  Press(kPlateInButton);
  ASSERT_TRUE(WaitUntilIdle());
  ASSERT_EQ(BoxRecorder::Boxes().size(), 1u) << BoxRecorder::Texts();
  EXPECT_EQ(BoxRecorder::Boxes()[0].text, "Reader not responding.");
  EXPECT_EQ(BoxRecorder::Boxes()[0].caption, "Timout");
  EXPECT_EQ(BoxRecorder::Boxes()[0].icon, kIconInformation);
  EXPECT_TRUE(dialog.ItemText(kStatusLine).startsWith("Timeout ("));
  ExpectIdleButtons();
}

TEST_F(EndToEndTest, ReaderErrorIsShownInAnErrorBox) {
  MainDialog& dialog = OpenDialog();
  ASSERT_TRUE(MeasurementStarted());
  reader_->reader().InjectFault(sim::Fault::ReaderError, 1, 7);  // at the first plate check
  ASSERT_TRUE(WaitUntilIdle());
  ASSERT_EQ(BoxRecorder::Boxes().size(), 1u) << BoxRecorder::Texts();
  EXPECT_EQ(BoxRecorder::Boxes()[0].caption, "Error");
  EXPECT_EQ(BoxRecorder::Boxes()[0].text, "Reader error 7.");
  EXPECT_EQ(BoxRecorder::Boxes()[0].text, pDriver->szMessage);
  EXPECT_EQ(dialog.ItemText(kStatusLine).toStdString(), pDriver->szMessage);
  EXPECT_EQ(PlateResult.bValid, 0);

  // Before the start command, while the reader is waited for: shown as
  // promptly, and the dialog takes the next measurement.
  reader_->reader().InjectFault(sim::Fault::ReaderError, 1, 7);
  Press(kMeasureButton);
  ASSERT_TRUE(WaitUntilIdle(10000)) << dialog.ItemText(kStatusLine).toStdString();
  ASSERT_EQ(BoxRecorder::Boxes().size(), 2u) << BoxRecorder::Texts();
  EXPECT_EQ(BoxRecorder::Boxes()[1].text, "Reader error 7.");
  EXPECT_EQ(dialog.ItemText(kStatusLine), "Reader error 7.");
  ExpectIdleButtons();
  Press(kMeasureButton);
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(dialog.ItemText(kStatusLine), "success");
  EXPECT_EQ(PlateResult.bValid, 1);
}

TEST_F(EndToEndTest, ClosingDuringAMeasurementWaitsForTheWorker) {
  MainDialog& dialog = OpenDialog();
  ASSERT_TRUE(MeasurementStarted());
  reader_->reader().InjectFault(sim::Fault::StuckBusy, -1);  // the plate never finishes
  QElapsedTimer clock;
  clock.start();
  Press(kCloseButton);  // returns once the worker has ended
  EXPECT_LT(clock.elapsed(), 4000);
  EXPECT_EQ(dialog.result(), 2);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(hWorkerThread, nullptr);
  EXPECT_EQ(hComPort, kInvalidPort);
  EXPECT_EQ(BoxRecorder::Texts(), "");
  EXPECT_EQ(PlateResult.bValid, 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return reader_->reader().EotCount() >= 1; }, 2000));
}

}  // namespace
