// The [Trace] section: written only once the trace has been set up, read
// back as written.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "settings/settings.h"
#include "results/shared_state.h"
#include "tests/results/result_file_parsers.h"

namespace fs = std::filesystem;

TEST(TraceSettings, OffByDefaultAndWrittenOnlyOnceSetUp) {
  char pattern[] = "/tmp/platovix-trace-settings-XXXXXX";
  const fs::path root = mkdtemp(pattern);
  const char* old = getenv("XDG_CONFIG_HOME");
  const std::string oldConfig = old != nullptr ? old : "";
  setenv("XDG_CONFIG_HOME", root.c_str(), 1);
  const fs::path file = root / "platovix.ini";

  AppSettings = TAppSettings{};
  EXPECT_EQ(AppSettings.TraceEnabled, 0);
  SaveSettings();
  EXPECT_EQ(result_parsers::ReadWholeFile(file.string()).find("[Trace]"), std::string::npos);

  AppSettings.TraceEnabled = 1;
  AppSettings.TraceFile = "/home/lab/reader line.trace";
  SaveSettings();
  EXPECT_NE(result_parsers::ReadWholeFile(file.string())
                .find("[Trace]\nEnabled=1\nFile=/home/lab/reader line.trace\n"),
            std::string::npos);
  AppSettings = TAppSettings{};
  LoadSettings();
  EXPECT_EQ(AppSettings.TraceEnabled, 1);
  EXPECT_EQ(AppSettings.TraceFile, "/home/lab/reader line.trace");

  // Turned off again: the section stays, saying so.
  AppSettings.TraceEnabled = 0;
  SaveSettings();
  AppSettings = TAppSettings{};
  LoadSettings();
  EXPECT_EQ(AppSettings.TraceEnabled, 0);
  EXPECT_EQ(AppSettings.TraceFile, "/home/lab/reader line.trace");

  AppSettings = TAppSettings{};
  if (old != nullptr) {
    setenv("XDG_CONFIG_HOME", oldConfig.c_str(), 1);
  } else {
    unsetenv("XDG_CONFIG_HOME");
  }
  fs::remove_all(root);
}
