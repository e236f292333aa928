// The desktop program's line trace: the Options dialog's check box and file,
// and an operation traced from the main dialog's button to the reader and
// back, with the status line as it always is.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/reader_simulator.h"
#include "sim/trace_file.h"
#include "tests/ui/ui_test_support.h"
#include "ui/main_dialog.h"
#include "ui/operation_trace.h"
#include "ui/options_dialog.h"
#include "ui/trace_options.h"

namespace fs = std::filesystem;

namespace {

QString chooserAnswer;
int chooserCalls = 0;

QString FakeChooser(QWidget*, const QString&) {
  ++chooserCalls;
  return chooserAnswer;
}

class TraceOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    ResetProgramState();
    ResetOperationTrace();
    char pattern[] = "/tmp/platovix-ui-trace-XXXXXX";
    dir_ = mkdtemp(pattern);
    chooserAnswer = QString::fromStdString((dir_ / "reader.trace").string());
    chooserCalls = 0;
    TraceOptions::SetFileChooser(FakeChooser);
  }
  void TearDown() override {
    dialog_.reset();
    ResetProgramState();
    ResetOperationTrace();
    TraceOptions::SetFileChooser(nullptr);
    fs::remove_all(dir_);
  }

  // Reads the filters from a DigiScan through the main dialog's button.
  void ReadFilters() {
    if (!reader_) {
      reader_ = std::make_unique<sim::PtySimulator>(sim::Options{});
      PortMap.szDevice[1] = reader_->slavePath();
      AppSettings.nComPort = 1;
      dialog_ = std::make_unique<MainDialog>();
      dialog_->show();
    }
    qobject_cast<QPushButton*>(dialog_->Item(kFiltersButton))->click();
    ASSERT_TRUE(QTest::qWaitFor([] { return hWorkerThread == nullptr; }, 30000));
  }

  fs::path dir_;
  BoxRecorder boxes_;
  std::unique_ptr<sim::PtySimulator> reader_;
  std::unique_ptr<MainDialog> dialog_;
};

}  // namespace

TEST_F(TraceOptionsTest, TheCheckBoxAsksForAFileOnceAndTheSettingsKeepBoth) {
  AppSettings.nComPort = 2;  // a port the dialog shows as it is
  {
    OptionsDialog dialog(nullptr, nullptr);
    auto* box = dialog.findChild<QCheckBox*>("traceEnabled");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Write a line &trace");
    EXPECT_FALSE(box->isChecked());
    box->click();
    EXPECT_EQ(chooserCalls, 1);
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(dialog.findChild<QLabel*>("traceFile")->toolTip(), chooserAnswer);
    dialog.SendCommand(1);
    EXPECT_EQ(dialog.result(), 2);  // nothing the main dialog shows has changed
  }
  EXPECT_EQ(AppSettings.TraceEnabled, 1);
  EXPECT_EQ(AppSettings.TraceFile, chooserAnswer.toStdString());
  {
    OptionsDialog dialog(nullptr, nullptr);
    auto* box = dialog.findChild<QCheckBox*>("traceEnabled");
    EXPECT_TRUE(box->isChecked());
    box->click();
    box->click();  // on again: the file is known, nobody is asked
    EXPECT_EQ(chooserCalls, 1);
    box->click();
    dialog.SendCommand(2);  // Cancel keeps what was stored
  }
  EXPECT_EQ(AppSettings.TraceEnabled, 1);
}

TEST_F(TraceOptionsTest, NoFileChosenLeavesTheTraceOff) {
  chooserAnswer.clear();
  OptionsDialog dialog(nullptr, nullptr);
  auto* box = dialog.findChild<QCheckBox*>("traceEnabled");
  box->click();
  EXPECT_FALSE(box->isChecked());
  dialog.SendCommand(1);
  EXPECT_EQ(AppSettings.TraceEnabled, 0);
  EXPECT_EQ(AppSettings.TraceFile, "");
}

TEST_F(TraceOptionsTest, TheControlsSitBelowTheTemplatesOwnInsideTheDialog) {
  OptionsDialog dialog(nullptr, nullptr);
  const QRect ok = dialog.Item(1)->geometry();
  EXPECT_EQ(ok, dialog.DialogUnitsToPixels(12, 163, 38, 14));
  for (const char* name : {"traceEnabled", "traceFileButton", "traceFile"}) {
    const QRect r = dialog.findChild<QWidget*>(name)->geometry();
    EXPECT_GT(r.top(), ok.bottom()) << name;
    EXPECT_TRUE(dialog.rect().contains(r)) << name;
  }
  EXPECT_FALSE(dialog.findChild<QWidget*>("traceEnabled")
                   ->geometry()
                   .intersects(dialog.findChild<QWidget*>("traceFileButton")->geometry()));
}

TEST_F(TraceOptionsTest, AnOperationIsTracedAndTheStatusLineIsAsAlways) {
  AppSettings.TraceEnabled = 1;
  AppSettings.TraceFile = chooserAnswer.toStdString();
  ReadFilters();
  EXPECT_EQ(dialog_->ItemText(208), "405 450 492 540 620 690");
  ReadFilters();
  EXPECT_TRUE(boxes_.Boxes().empty()) << BoxRecorder::Texts();

  const auto operations = sim::LoadTrace(AppSettings.TraceFile);
  ASSERT_EQ(operations.size(), 2u);
  EXPECT_EQ(operations[0].name, "filters");
  EXPECT_EQ(operations[0].details.at("device"), reader_->slavePath());
  std::vector<std::string> statuses;
  for (const auto& event : operations[1].events) {
    if (event.kind == "status") statuses.push_back(event.data);
  }
  EXPECT_EQ(statuses, (std::vector<std::string>{"started", "connected", "detected",
                                                "405 450 492 540 620 690"}));
  EXPECT_EQ(operations[1].events.back().data, "802");
}

TEST_F(TraceOptionsTest, AnUnwritableTraceIsReportedOnceAndTheReaderIsServed) {
  AppSettings.TraceEnabled = 1;
  AppSettings.TraceFile = (dir_ / "missing" / "reader.trace").string();
  ReadFilters();
  ReadFilters();
  EXPECT_EQ(dialog_->ItemText(208), "405 450 492 540 620 690");
  ASSERT_EQ(boxes_.Boxes().size(), 1u) << BoxRecorder::Texts();
  EXPECT_EQ(boxes_.Boxes()[0].caption, "Warning");
  EXPECT_NE(boxes_.Boxes()[0].text.find("line trace cannot be written"), std::string::npos);
  EXPECT_EQ(reader_->reader().EotCount(), 2);
}
