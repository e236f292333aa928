// The demo at its first Enter: with the settings run.sh writes for the
// simulated reader, pressing Enter in a freshly opened program measures an
// ELISA-looking plate, with no Options, Filters or typing first.
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "settings/settings.h"
#include "sim/reader_simulator.h"
#include "tests/support/temp_home.h"
#include "tests/support/test_paths.h"
#include "tests/ui/ui_test_support.h"
#include "ui/main_dialog.h"

namespace fs = std::filesystem;

TEST(DemoStart, FirstEnterMeasuresAnElisaPlate) {
  TestApp();
  ResetProgramState();
  BoxRecorder boxes;
  const TempHome temp("demo");
  const fs::path& home = temp.path();
  sim::Options options;
  options.scenario = sim::PlateScenario::Elisa;
  options.measureMs = 200;
  sim::PtySimulator reader(options);

  const std::string settings = (home / "platovix.ini").string();
  const std::string command = std::string(test_paths::SourceDir() + "/scripts/demo-settings.sh ") +
                              test_paths::Program("sim/platovix-sim") + " " + settings + " " +
                              reader.slavePath() + " --scenario elisa";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  LoadSettings();
  EXPECT_EQ(AppSettings.nBaudRate, 9600);
  EXPECT_EQ(FilterTable.nCount, 6);

  ModalWatcher preview([](QWidget* modal) { static_cast<TemplateDialog*>(modal)->SendCommand(2); });
  MainDialog dialog;
  dialog.show();
  dialog.activateWindow();
  QTest::keyClick(dialog.Combo(kPrimaryList)->lineEdit(), Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([] { return hWorkerThread != nullptr; }, 5000))
      << BoxRecorder::Texts();
  ASSERT_TRUE(QTest::qWaitFor([] { return hWorkerThread == nullptr; }, 30000));
  EXPECT_EQ(BoxRecorder::Texts(), "");
  ASSERT_EQ(PlateResult.bValid, 1);
  EXPECT_EQ(PlateResult.nPrimary, 450);
  EXPECT_EQ(PlateResult.nReference, 0);  // the reference box starts unchecked

  // Without the reference the blanks read the plate (about 0.05 OD); the
  // standards fall from the top of the curve down column 2.
  for (int blank : {0, 12}) EXPECT_LT(PlateResult.nValue[blank], 100);
  EXPECT_GT(PlateResult.nValue[1], 2000);
  for (int row = 1; row < 8; ++row)
    EXPECT_LT(PlateResult.nValue[row * 12 + 1], PlateResult.nValue[(row - 1) * 12 + 1]);
  for (int well = 0; well < 96; ++well) EXPECT_GT(PlateResult.nValue[well], 0) << well;

  ResetProgramState();
}
