// [Report] OpenAfterSaving: absent until the operator ticks it, so existing
// settings files stay byte for byte as they were; read back as written.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "results/shared_state.h"
#include "settings/settings.h"
#include "tests/results/result_file_parsers.h"
#include "tests/support/temp_home.h"

namespace fs = std::filesystem;

TEST(ReportSettings, OpenAfterSavingIsWrittenOnlyOnceTicked) {
  const TempHome home("report-settings");
  const fs::path file = home.path() / "platovix.ini";

  SaveSettings();
  const std::string untouched = result_parsers::ReadWholeFile(file.string());
  SaveSettings();
  EXPECT_EQ(result_parsers::ReadWholeFile(file.string()), untouched);
  EXPECT_EQ(untouched.find("[Report]"), std::string::npos);

  AppSettings.OpenReportAfterSaving = 1;
  SaveSettings();
  EXPECT_NE(result_parsers::ReadWholeFile(file.string()).find("[Report]\nOpenAfterSaving=1\n"),
            std::string::npos);
  AppSettings = TAppSettings{};
  LoadSettings();
  EXPECT_EQ(AppSettings.OpenReportAfterSaving, 1);
}
