// An assay in the desktop program, driven as an operator would: chosen in
// the main dialog, Measure against the simulated ELISA plate with the
// assay's filters, the verdict on top of the analysis window, the choice
// kept over a restart, and a broken assay file reported once and dropped.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "analysis/assay.h"
#include "analysis_ui/analysis_window.h"
#include "analysis_ui/assay_window.h"
#include "settings/settings.h"
#include "sim/reader_simulator.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_home.h"
#include "tests/support/test_paths.h"
#include "tests/ui/analysis_test_plate.h"
#include "tests/ui/ui_test_support.h"
#include "ui/assay_choice.h"
#include "ui/main_dialog.h"

namespace fs = std::filesystem;

namespace {

class AssayDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    ResetProgramState();
    sim::Options options;
    options.scenario = sim::PlateScenario::Elisa;
    options.measureMs = 200;
    reader_ = std::make_unique<sim::PtySimulator>(options);
  }
  void TearDown() override {
    if (AnalysisWindow* window = OpenAnalysisWindow()) delete window;
    ResetProgramState();
  }

  // The settings of an operator who set the port and switched the
  // automatic copy and preview off.
  void OperatorSettings() {
    AppSettings.nComPort = 1;
    AppSettings.bAutoCopy = 0;
    AppSettings.bAutoView = 0;
    PortMap.szDevice[1] = reader_->slavePath();
    PortMap.bChosen[1] = 1;
  }

  // The ELISA kit's assay: the example layout, read at 450 against 620 nm.
  std::string ElisaAssay() {
    const fs::path layout = fs::path(test_paths::SourceDir()) / "examples" / "elisa-layout.csv";
    analysis::AssayParse made = analysis::AssayFromLayoutFile(layout.string());
    EXPECT_TRUE(made.ok) << made.message;
    made.assay.reading.primary = 450;
    made.assay.reading.reference = 620;
    const std::string path = (home_ / "elisa kit.json").string();
    std::string error;
    EXPECT_TRUE(analysis::SaveAssayFile(path, made.assay, &error)) << error;
    return path;
  }

  void Press(MainDialog& dialog, int id) { qobject_cast<QPushButton*>(dialog.Item(id))->click(); }
  // Until the read that the key or button started has been wound up.
  static bool ReadEnds() {
    return QTest::qWaitFor([] { return hWorkerThread == nullptr; }, 30000);
  }

  TempHome temp_{"assay-desktop"};
  const fs::path home_ = temp_.path();
  std::unique_ptr<sim::PtySimulator> reader_;
  BoxRecorder boxes_;
};

TEST_F(AssayDesktop, TheChosenAssayMeasuresShowsItsVerdictAndOutlivesARestart) {
  OperatorSettings();
  const std::string path = ElisaAssay();
  AppSettings.RecentAssays[0] = path;
  {
    MainDialog dialog;
    dialog.show();
    QComboBox* assays = AssayList(dialog);
    ASSERT_EQ(assays->count(), 2);
    EXPECT_EQ(assays->itemText(0), "None");
    EXPECT_EQ(assays->itemText(1), "elisa-layout") << "the assay's name, not its file's";
    assays->setCurrentIndex(1);
    emit assays->activated(1);
    EXPECT_EQ(AppSettings.AssayFile, path);
    EXPECT_EQ(dialog.Combo(kPrimaryList)->currentText().trimmed(), "450");
    EXPECT_TRUE(dialog.IsChecked(kReferenceCheck));

    Press(dialog, kMeasureButton);
    ASSERT_TRUE(ReadEnds());
    ASSERT_EQ(PlateResult.bValid, 1) << BoxRecorder::Texts();
    EXPECT_EQ(PlateResult.nPrimary, 450);
    EXPECT_EQ(PlateResult.nReference, 620);

    AnalysisWindow* window = OpenAnalysisWindow();
    ASSERT_NE(window, nullptr) << "opened by the read";
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal()) << "the next plate can be measured";
    ASSERT_NE(window->Result(), nullptr);
    ASSERT_TRUE(window->Result()->qc.has_value()) << "the assay's rules give a verdict";
    auto* verdict = window->findChild<QLabel*>("verdict");
    EXPECT_TRUE(verdict->isVisible());
    const bool passed = window->Result()->qc->passed;
    EXPECT_TRUE(verdict->text().contains(passed ? "Pass" : "Fail"))
        << verdict->text().toStdString();
    EXPECT_TRUE(verdict->styleSheet().contains(passed ? "#1b7a1b" : "#c00000"));
    EXPECT_FALSE(window->findChild<QComboBox*>("model")->isEnabled()) << "the assay's model";
    EXPECT_TRUE(BoxRecorder::Boxes().empty()) << BoxRecorder::Texts();
    dialog.SendCommand(kCloseButton);
  }
  SaveSettings();

  // A restart: the same assay chosen.
  AppSettings = TAppSettings{};
  LoadSettings();
  EXPECT_EQ(AppSettings.AssayFile, path);
  {
    MainDialog dialog;
    EXPECT_EQ(AssayList(dialog)->currentText(), "elisa-layout");
    EXPECT_TRUE(BoxRecorder::Boxes().empty()) << BoxRecorder::Texts();

    // Broken meanwhile: Measure says so once and leaves the reader alone.
    std::ofstream(path) << "{\"format\": 1, \"name\": \"\"}";
    const std::size_t commands = reader_->reader().Commands().size();
    Press(dialog, kMeasureButton);
    ASSERT_EQ(BoxRecorder::Boxes().size(), 1u) << BoxRecorder::Texts();
    EXPECT_EQ(BoxRecorder::Boxes()[0].caption, "Warning");
    EXPECT_NE(BoxRecorder::Boxes()[0].text.find(path), std::string::npos);
    EXPECT_EQ(hWorkerThread, nullptr);
    EXPECT_EQ(reader_->reader().Commands().size(), commands);
    EXPECT_EQ(AssayList(dialog)->currentText(), "None");
    EXPECT_EQ(AppSettings.AssayFile, "");
  }

  // A broken file named in the settings at start: one warning, then None.
  BoxRecorder::Boxes().clear();
  AppSettings.AssayFile = path;
  MainDialog dialog;
  ASSERT_EQ(BoxRecorder::Boxes().size(), 1u) << BoxRecorder::Texts();
  EXPECT_EQ(BoxRecorder::Boxes()[0].caption, "Warning");
  EXPECT_EQ(AssayList(dialog)->currentText(), "None");
}

TEST_F(AssayDesktop, TheAssayWindowMakesAnAssayFromTheLayoutInUse) {
  OperatorSettings();
  LayoutChooserStandIn chooser;
  AppSettings.LayoutFile =
      (fs::path(test_paths::SourceDir()) / "examples" / "elisa-layout.csv").string();
  MainDialog dialog;
  const std::string path = (home_ / "kit.json").string();
  LayoutChooserStandIn::Chosen() = QString::fromStdString(path);
  ModalWatcher window([](QWidget* modal) {
    auto* assay = qobject_cast<AssayWindow*>(modal);
    if (assay == nullptr) return;
    EXPECT_TRUE(assay->findChild<QLabel*>("layoutSummary")->text().startsWith("16 standards"))
        << assay->findChild<QLabel*>("layoutSummary")->text().toStdString();
    assay->findChild<QLineEdit*>("name")->setText("ELISA kit");
    assay->findChild<QWidget*>("cvMaxOn")->setProperty("checked", false);
    assay->findChild<QPushButton*>("save")->click();
  });
  dialog.findChild<QPushButton*>("assayWindow")->click();
  EXPECT_EQ(window.Seen(), 1);
  EXPECT_EQ(AppSettings.AssayFile, path);
  const analysis::AssayParse saved = analysis::ReadAssayFile(path);
  ASSERT_TRUE(saved.ok) << saved.message;
  EXPECT_EQ(saved.assay.name, "ELISA kit");
  EXPECT_EQ(saved.assay.qc.cvMax, std::nullopt) << "switched off";
  EXPECT_EQ(saved.assay.qc.r2Min, 0.98) << "the defaults of a new assay";
  EXPECT_EQ(saved.assay.layout.wells[1].concentration, 1000);
  EXPECT_EQ(AssayList(dialog)->currentText(), "ELISA kit");
  EXPECT_TRUE(BoxRecorder::Boxes().empty()) << BoxRecorder::Texts();
}

// The demo as run.sh starts it: the first Enter measures the simulated
// ELISA plate with the example assay and ends in the analysis window with
// the verdict Pass.
TEST_F(AssayDesktop, TheDemosFirstEnterEndsInAPassingVerdict) {
  const std::string settings = (home_ / "platovix.ini").string();
  const std::string command = std::string(test_paths::SourceDir() + "/scripts/demo-settings.sh ") +
                              "--with-assay " + test_paths::Program("sim/platovix-sim") + " " +
                              settings + " " + reader_->slavePath() + " --scenario elisa";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  LoadSettings();
  AppSettings.bAutoView = 0;
  EXPECT_EQ(fs::path(AppSettings.AssayFile).filename(), "elisa-assay.json");

  MainDialog dialog;
  dialog.show();
  dialog.activateWindow();
  QTest::keyClick(dialog.Combo(kPrimaryList)->lineEdit(), Qt::Key_Return);
  ASSERT_TRUE(ReadEnds());
  ASSERT_EQ(PlateResult.bValid, 1) << BoxRecorder::Texts();
  EXPECT_EQ(PlateResult.nReference, 620) << "the assay's reference";
  AnalysisWindow* window = OpenAnalysisWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(window->Result() != nullptr && window->Result()->qc.has_value());
  EXPECT_EQ(window->findChild<QLabel*>("verdict")->text().toStdString(), "<b>Pass</b>");
}

}  // namespace
