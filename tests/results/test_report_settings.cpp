// [Report] OpenAfterSaving: absent until the operator ticks it, so existing
// settings files stay byte for byte as they were; read back as written.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "results/shared_state.h"
#include "settings/settings.h"
#include "tests/results/result_file_parsers.h"

namespace fs = std::filesystem;

TEST(ReportSettings, OpenAfterSavingIsWrittenOnlyOnceTicked) {
  char pattern[] = "/tmp/platovix-report-settings-XXXXXX";
  const fs::path root = mkdtemp(pattern);
  const char* old = getenv("XDG_CONFIG_HOME");
  const std::string oldConfig = old != nullptr ? old : "";
  setenv("XDG_CONFIG_HOME", root.c_str(), 1);
  const fs::path file = root / "platovix.ini";

  AppSettings = TAppSettings{};
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

  AppSettings = TAppSettings{};
  if (old != nullptr) {
    setenv("XDG_CONFIG_HOME", oldConfig.c_str(), 1);
  } else {
    unsetenv("XDG_CONFIG_HOME");
  }
  fs::remove_all(root);
}
