// The [Trace] section: written only once the trace has been set up, read
// back as written.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "settings/settings.h"
#include "results/shared_state.h"
#include "tests/results/result_file_parsers.h"
#include "tests/support/temp_home.h"

namespace fs = std::filesystem;

TEST(TraceSettings, OffByDefaultAndWrittenOnlyOnceSetUp) {
  const TempHome home("trace-settings");
  const fs::path file = home.path() / "platovix.ini";

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
}
