// The settings file reader against arbitrary files: loading never fails and
// leaves every field in a state the program can use; an edit changes only
// what it writes, and the text written reads back the same.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/fuzz_check.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "results/shared_state.h"

namespace {

struct Key {
  const char* section;
  const char* key;
};
const Key kKeys[] = {{"Setup", "nComPort"},
                     {"Setup", "readerSubType"},
                     {"Setup", "nBaudRate"},
                     {"Window", "X"},
                     {"Filters", "F01"},
                     {"Filters", "F02"},
                     {"LastMeasure", "nLastF1"},
                     {"Ports", "COM1"},
                     {"", "x"}};

std::string settingsPath;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static char directory[] = "/tmp/platovix-fuzz-settings-XXXXXX";
  if (mkdtemp(directory) == nullptr) return 0;
  setenv("XDG_CONFIG_HOME", directory, 1);
  settingsPath = SettingsFilePath();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  const IniFile file(text);
  const IniFile again(file.Text());
  for (const Key& k : kKeys) {
    FUZZ_CHECK(file.GetInt(k.section, k.key, -7) == again.GetInt(k.section, k.key, -7));
    FUZZ_CHECK(file.GetString(k.section, k.key, "-") == again.GetString(k.section, k.key, "-"));
  }

  // Writing one key leaves every other lookup as it was.
  IniFile edited(text);
  edited.SetString("Setup", "nComPort", "3");
  FUZZ_CHECK(edited.GetInt("Setup", "nComPort", 0) == 3);
  const IniFile reread(edited.Text());
  FUZZ_CHECK(reread.GetInt("Setup", "nComPort", 0) == 3);
  for (const Key& k : kKeys) {
    if (std::string(k.key) == "nComPort") continue;
    FUZZ_CHECK(reread.GetString(k.section, k.key, "-") == file.GetString(k.section, k.key, "-"));
  }

  // The program's own loader over the same text as a file.
  if (!settingsPath.empty()) {
    FILE* out = std::fopen(settingsPath.c_str(), "wb");
    if (out != nullptr) {
      std::fwrite(data, 1, size, out);
      std::fclose(out);
      FilterTable = TFilterTable{};
      LoadSettings();
      FUZZ_CHECK(FilterTable.nCount >= 0 && FilterTable.nCount <= kFilterSlots);
      for (int i = 0; i < FilterTable.nCount; ++i) FUZZ_CHECK(FilterTable.nWavelength[i] >= 0);
      FUZZ_CHECK(AppSettings.bAutoCopy <= 1 && AppSettings.bAutoView <= 1);
    }
  }
  return 0;
}
