// Pictures of the dialogs for the documentation. Skipped unless
// PLATOVIX_SCREENSHOT_DIR names a directory; run it under a real X server:
//   PLATOVIX_SCREENSHOT_DIR=docs QT_QPA_PLATFORM=xcb xvfb-run -a
//     build/tests/test_ui --gtest_filter='Screenshots*'
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstdlib>
#include <memory>

#include <QTableWidget>

#include "analysis_ui/analysis_window.h"
#include "analysis_ui/layout_editor.h"
#include "analysis_ui/layout_in_use.h"
#include "preview/data_preview.h"
#include "sim/reader_simulator.h"
#include "tests/ui/ui_test_support.h"
#include "ui/calibration_dialog.h"
#include "ui/main_dialog.h"
#include "ui/options_dialog.h"

namespace {

class Screenshots : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* dir = std::getenv("PLATOVIX_SCREENSHOT_DIR");
    if (dir == nullptr || *dir == '\0') GTEST_SKIP() << "PLATOVIX_SCREENSHOT_DIR not set";
    dir_ = QDir(QString::fromLocal8Bit(dir));
    TestApp();
    ResetProgramState();
    AppSettings.nComPort = 1;
    AppSettings.bAutoView = 0;
    FilterTable.nCount = 6;
    const int fitted[] = {405, 450, 492, 540, 620, 690};
    std::copy(std::begin(fitted), std::end(fitted), FilterTable.nWavelength);
    AppSettings.nLastF1 = 450;
    AppSettings.nLastF2 = 620;
  }
  void TearDown() override { ResetProgramState(); }

  void Save(QWidget& window, const char* name) {
    window.show();
    QTest::qWait(300);  // let the window be mapped and painted
    ASSERT_TRUE(window.grab().save(dir_.filePath(QString::fromLatin1(name)), "PNG")) << name;
  }

  QDir dir_;
  BoxRecorder boxes_;
};

TEST_F(Screenshots, AllDialogs) {
  sim::Options options;
  options.moveMs = 4000;
  sim::PtySimulator reader(options);
  PortMap.szDevice[1] = reader.slavePath();

  MainDialog dialog;
  dialog.SetChecked(kReferenceCheck, true);
  dialog.SendCommand(kReferenceCheck);
  Save(dialog, "main-idle.png");

  qobject_cast<QPushButton*>(dialog.Item(kPlateInButton))->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.ItemText(kStatusLine) == "connected"; }, 5000));
  Save(dialog, "main-running.png");
  ASSERT_TRUE(QTest::qWaitFor([] { return hWorkerThread == nullptr; }, 15000));

  dialog.Combo(kPrimaryList)->setEditText("450");
  qobject_cast<QPushButton*>(dialog.Item(kMeasureButton))->click();
  ASSERT_TRUE(QTest::qWaitFor([] { return hWorkerThread == nullptr; }, 20000));
  ASSERT_EQ(PlateResult.bValid, 1) << BoxRecorder::Texts();

  std::unique_ptr<TemplateDialog> preview = CreateDataPreview(&dialog);
  Save(*preview, "preview.png");
  preview->hide();

  OptionsDialog optionsDialog(&dialog, nullptr);
  Save(optionsDialog, "options.png");
  optionsDialog.hide();

  CalibrationDialog calibration(&dialog, nullptr);
  qobject_cast<QAbstractButton*>(calibration.Item(143))->click();
  calibration.SetItemText(153, "500");
  Save(calibration, "calibration.png");
  calibration.hide();

  ToggleDetails(dialog);
  Save(dialog, "main-reduced.png");
  ToggleDetails(dialog);
  dialog.hide();
}

// The ELISA demo plate: measured, its layout set once in the editor, the
// heat map in the preview and the standard curve in the analysis window.
TEST_F(Screenshots, ElisaAnalysis) {
  sim::Options options;
  options.scenario = sim::PlateScenario::Elisa;
  sim::PtySimulator reader(options);
  PortMap.szDevice[1] = reader.slavePath();
  AppSettings.LayoutFile.clear();
  AppSettings.HeatMap = 1;

  MainDialog dialog;
  dialog.SetChecked(kReferenceCheck, true);
  dialog.SendCommand(kReferenceCheck);
  dialog.Combo(kPrimaryList)->setEditText("450");
  dialog.Combo(kReferenceList)->setEditText("620");
  qobject_cast<QPushButton*>(dialog.Item(kMeasureButton))->click();
  ASSERT_TRUE(QTest::qWaitFor([] { return hWorkerThread == nullptr; }, 20000));
  ASSERT_EQ(PlateResult.bValid, 1) << BoxRecorder::Texts();

  // The layout of the demo plate, as an operator sets it in the editor.
  LayoutEditor editor(&dialog);
  const auto select = [&editor](int top, int left, int bottom, int right) {
    QTableWidget* grid = editor.Grid();
    grid->clearSelection();
    grid->setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
  };
  const auto choose = [&editor](const char* name) {
    editor.findChild<QRadioButton*>(name)->setChecked(true);
  };
  QTest::keyClicks(editor.findChild<QLineEdit*>("unit"), "pg/mL");
  editor.findChild<QDoubleSpinBox*>("top")->setValue(1000);
  editor.findChild<QDoubleSpinBox*>("factor")->setValue(2);
  choose("sideBySide");
  select(0, 1, 7, 2);
  editor.SetRole(analysis::WellRole::Standard);
  select(0, 0, 1, 0);
  editor.SetRole(analysis::WellRole::Blank);
  choose("below");
  select(2, 0, 5, 0);
  editor.SetRole(analysis::WellRole::Control);
  select(0, 3, 7, 11);
  editor.SetRole(analysis::WellRole::Sample);
  editor.Grid()->clearSelection();
  Save(editor, "layout-editor.png");
  const QString layoutFile = QDir::temp().filePath(QStringLiteral("platovix-elisa-layout.csv"));
  ASSERT_TRUE(analysis::SaveLayoutFile(layoutFile.toStdString(), editor.Layout(), nullptr));
  editor.hide();
  UseLayout(layoutFile.toStdString(), editor.Layout());

  std::unique_ptr<TemplateDialog> preview = CreateDataPreview(&dialog);
  Save(*preview, "preview-heat-map.png");
  preview->hide();

  AnalysisWindow analysis(&dialog, {PlateResult, {}, "plate.csv"});
  Save(analysis, "analysis.png");
  analysis.hide();
  QFile::remove(layoutFile);
  dialog.hide();
}

}  // namespace
