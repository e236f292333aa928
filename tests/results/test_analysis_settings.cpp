// The [Analysis] section of platovix.ini: heat map, layout in use, fit.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "settings/settings.h"
#include "results/shared_state.h"
#include "tests/support/temp_home.h"

namespace fs = std::filesystem;

namespace {

class AnalysisSettings : public testing::Test {
 protected:
  void Write(const std::string& text) { std::ofstream(SettingsFilePath()) << text; }
  std::string Read() {
    std::stringstream text;
    text << std::ifstream(SettingsFilePath()).rdbuf();
    return text.str();
  }

  TempHome temp_{"analysis-settings"};
  const fs::path root_ = temp_.path();
};

TEST_F(AnalysisSettings, DefaultsLeaveAFileWithoutTheSectionAsItWas) {
  EXPECT_EQ(AppSettings.HeatMap, 1);
  EXPECT_EQ(AppSettings.LayoutFile, "");
  EXPECT_EQ(AppSettings.Fit, "4pl");
  EXPECT_EQ(AppSettings.Weight, "none");
  Write("[LastMeasure]\nnLastF1=450\nnLastF2=0\n");
  LoadSettings();
  SaveSettings();
  EXPECT_EQ(Read().find("[Analysis]"), std::string::npos);
}

TEST_F(AnalysisSettings, ChoicesSurviveARestart) {
  AppSettings.HeatMap = 0;
  AppSettings.LayoutFile = "/home/lab/layouts/elisa plate.csv";
  AppSettings.Fit = "5pl";
  AppSettings.Weight = "1/y2";
  SaveSettings();
  EXPECT_NE(Read().find("[Analysis]\nHeatMap=0\nLayoutFile=/home/lab/layouts/elisa plate.csv\n"
                        "Fit=5pl\nWeight=1/y2\n"),
            std::string::npos)
      << Read();

  AppSettings = TAppSettings{};
  LoadSettings();
  EXPECT_EQ(AppSettings.HeatMap, 0);
  EXPECT_EQ(AppSettings.LayoutFile, "/home/lab/layouts/elisa plate.csv");
  EXPECT_EQ(AppSettings.Fit, "5pl");
  EXPECT_EQ(AppSettings.Weight, "1/y2");

  // Back to the defaults: the section stays, so the file says what is chosen.
  AppSettings = TAppSettings{};
  SaveSettings();
  EXPECT_NE(Read().find("HeatMap=1\nLayoutFile=\nFit=4pl\nWeight=none\n"), std::string::npos);
}

TEST_F(AnalysisSettings, UnknownChoicesKeepTheDefaults) {
  Write("[analysis]\nHeatMap=7\nFit=cubic\nWeight=1/x\n");
  LoadSettings();
  EXPECT_EQ(AppSettings.HeatMap, 1);
  EXPECT_EQ(AppSettings.Fit, "4pl");
  EXPECT_EQ(AppSettings.Weight, "none");
}

}  // namespace
