// The keyboard across the program's windows: within each window no two
// enabled controls answer the same Alt+letter, and Alt+A aborts a running
// measurement against the simulated reader.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <map>
#include <memory>

#include "analysis/assay.h"
#include "analysis_ui/analysis_window.h"
#include "analysis_ui/assay_window.h"
#include "analysis_ui/kinetic_window.h"
#include "analysis_ui/layout_editor.h"
#include "archive/archive_store.h"
#include "dialogs/template_dialog.h"
#include "history/history_window.h"
#include "preview/data_preview.h"
#include "sim/reader_simulator.h"
#include "tests/archive/archive_samples.h"
#include "tests/support/pty_pair.h"
#include "tests/ui/analysis_test_plate.h"
#include "tests/ui/ui_test_support.h"
#include "ui/calibration_dialog.h"
#include "ui/device_chooser.h"
#include "ui/main_dialog.h"
#include "ui/operation_control.h"
#include "ui/options_dialog.h"

namespace {

// The letter after a single '&', lower case; 0 for none ("&&" is a plain '&').
QChar Mnemonic(const QString& text) {
  for (int at = 0; at + 1 < text.size(); ++at) {
    if (text[at] != QLatin1Char('&')) continue;
    if (text[at + 1] == QLatin1Char('&')) {
      ++at;
      continue;
    }
    return text[at + 1].toLower();
  }
  return {};
}

// Every Alt+letter of window's own controls that more than one visible,
// enabled control answers: "r: "&Reference filter", "Calib&rate ..."".
std::vector<std::string> RepeatedMnemonics(QWidget* window) {
  std::map<QChar, QStringList> owners;
  const auto usable = [window](const QWidget* widget) {
    return widget != nullptr && widget->window() == window && widget->isVisible() &&
           widget->isEnabled();
  };
  const auto note = [&owners](const QString& text) {
    if (const QChar letter = Mnemonic(text); !letter.isNull()) owners[letter] << text;
  };
  for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
    if (usable(button)) note(button->text());
  }
  for (QLabel* label : window->findChildren<QLabel*>()) {
    if (usable(label) && usable(label->buddy())) note(label->text());
  }
  for (QGroupBox* group : window->findChildren<QGroupBox*>()) {
    if (usable(group)) note(group->title());
  }
  for (QMenuBar* bar : window->findChildren<QMenuBar*>()) {
    if (!usable(bar)) continue;
    for (QAction* action : bar->actions()) {
      if (action->isVisible() && action->isEnabled()) note(action->text());
    }
  }
  for (QTabBar* tabs : window->findChildren<QTabBar*>()) {
    if (!usable(tabs)) continue;
    for (int tab = 0; tab < tabs->count(); ++tab) {
      if (tabs->isTabEnabled(tab) && tabs->isTabVisible(tab)) note(tabs->tabText(tab));
    }
  }
  std::vector<std::string> repeated;
  for (auto& [letter, texts] : owners) {
    // The reference check box and the calibration button have shared Alt+R
    // since the main dialog's first version, and keep the texts operators
    // know; no other pair may.
    if (letter == QLatin1Char('r') && texts.size() == 2 &&
        texts.contains(QStringLiteral("&Reference filter")) &&
        texts.filter(QStringLiteral("Calib&rate")).size() == 1) {
      continue;
    }
    if (texts.size() > 1) {
      repeated.push_back(QString(letter).toStdString() + ": \"" +
                         texts.join(QStringLiteral("\", \"")).toStdString() + "\"");
    }
  }
  return repeated;
}

std::string Listed(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& line : lines) all += line + "\n";
  return all;
}

// Shows the window and checks it; name says which one failed.
void ExpectNoRepeatedMnemonic(QWidget* window, const char* name) {
  window->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window)) << name;
  const std::vector<std::string> repeated = RepeatedMnemonics(window);
  EXPECT_TRUE(repeated.empty()) << name << " shares Alt+letters:\n" << Listed(repeated);
}

class Mnemonics : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    ResetProgramState();
    AppSettings.nComPort = 1;
    AppSettings.bAutoCopy = 0;
    AppSettings.bAutoView = 0;
    AppSettings.ArchiveUrl = folder_.path() + "/archive.sqlite";
  }
  void TearDown() override {
    if (AnalysisWindow* window = OpenAnalysisWindow()) delete window;
    ResetProgramState();
  }
  // A plate analysed with an assay: curve, table and verdict all shown.
  static ShownPlate AssayPlate() {
    ShownPlate shown{PlateResult, {}, "plate.csv"};
    shown.assay = analysis::NewAssay("Test kit", TestLayout());
    FillTestPlate(shown.assay->layout, shown.plate);
    return shown;
  }

  archive_samples::TempFolder folder_;
  BoxRecorder boxes_;
};

TEST_F(Mnemonics, NoWindowOfTheProgramGivesOneAltLetterToTwoControls) {
  ASSERT_TRUE(
      archive::StoreRead({AppSettings.ArchiveUrl, ""}, archive_samples::SampleRead(3)).stored);
  FillTestPlate(TestLayout(), PlateResult);
  MainDialog dialog;
  ExpectNoRepeatedMnemonic(&dialog, "main dialog");
  AppSettings.Reduced = 0;
  ToggleDetails(dialog);  // reduced: its own set of enabled controls
  ExpectNoRepeatedMnemonic(&dialog, "reduced main dialog");
  ToggleDetails(dialog);

  OptionsDialog options(&dialog, nullptr);
  ExpectNoRepeatedMnemonic(&options, "options");
  CalibrationDialog calibration(&dialog, nullptr);
  ExpectNoRepeatedMnemonic(&calibration, "calibration");
  DeviceChooser chooser(&dialog, 1, "");
  ExpectNoRepeatedMnemonic(&chooser, "device chooser");
  std::unique_ptr<TemplateDialog> preview = CreateDataPreview(&dialog, AssayPlate());
  ExpectNoRepeatedMnemonic(preview.get(), "data preview");
  AnalysisWindow analysis(&dialog, AssayPlate());
  ExpectNoRepeatedMnemonic(&analysis, "analysis window");
  LayoutEditor editor(&dialog, TestLayout());
  ExpectNoRepeatedMnemonic(&editor, "layout editor");
  AssayWindow assay(&dialog);
  ExpectNoRepeatedMnemonic(&assay, "assay window");
  HistoryWindow history(&dialog, {AppSettings.ArchiveUrl, ""});
  ExpectNoRepeatedMnemonic(&history, "History");
  KineticWindow kinetics(&dialog);
  ExpectNoRepeatedMnemonic(&kinetics, "kinetic window");
  EXPECT_TRUE(BoxRecorder::Boxes().empty()) << BoxRecorder::Texts();
}

// Alt+A while the reader measures: the running operation's "&Abort" is the
// only control with that letter, so the key presses it. An analysis window
// left open on the previous plate then says the read was aborted and shows
// no verdict any more.
TEST_F(Mnemonics, AltAAbortsARunningMeasurement) {
  sim::Options slow;
  slow.measureMs = 600000;  // never done by itself: only the abort ends it
  sim::PtySimulator reader(slow);
  PortMap.szDevice[1] = reader.slavePath();
  PortMap.bChosen[1] = 1;
  AppSettings.nLastF1 = 450;

  MainDialog dialog;
  dialog.show();
  AnalysisWindow* analysis = ShowAnalysisWindow(&dialog, AssayPlate());
  ASSERT_TRUE(analysis->findChild<QLabel*>("verdict")->isVisible());

  qobject_cast<QPushButton*>(dialog.Item(kMeasureButton))->click();
  ASSERT_NE(hWorkerThread, nullptr) << BoxRecorder::Texts();
  EXPECT_EQ(dialog.ItemText(kMeasureButton), "&Abort");
  ExpectNoRepeatedMnemonic(&dialog, "main dialog while measuring");

  // The key goes to the main dialog, not to the analysis window beside it.
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitFor([&dialog] { return QApplication::activeWindow() == &dialog; }));
  QTest::keyClick(&dialog, Qt::Key_A, Qt::AltModifier);
  ASSERT_TRUE(QTest::qWaitFor([] { return hWorkerThread == nullptr; }, 30000));
  EXPECT_EQ(bAbort, 1) << "ended by the abort";
  EXPECT_EQ(dialog.ItemText(kMeasureButton), "&Measure");
  EXPECT_EQ(PlateResult.bValid, 0);
  EXPECT_TRUE(BoxRecorder::Boxes().empty()) << "no box for an abort\n" << BoxRecorder::Texts();

  ASSERT_EQ(OpenAnalysisWindow(), analysis);
  EXPECT_FALSE(analysis->findChild<QLabel*>("verdict")->isVisible()) << "no verdict left";
  EXPECT_EQ(analysis->Result(), nullptr);
  const QLabel* said = analysis->findChild<QLabel*>("unfinishedRead");
  EXPECT_TRUE(said->isVisible());
  EXPECT_EQ(said->text(), "Aborted read: no valid data");
  EXPECT_TRUE(analysis->findChild<QLabel*>("readName")->text().startsWith("no plate ID · read "))
      << analysis->findChild<QLabel*>("readName")->text().toStdString();
}

}  // namespace
