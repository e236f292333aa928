#include "settings/assay_settings.h"

#include <string>
#include <vector>

#include "results/shared_state.h"
#include "settings/optional_section.h"

namespace {

std::string RecentKey(int n) {
  return "Recent" + std::to_string(n + 1);
}

}  // namespace

void ReadAssaySettings(const IniFile& file) {
  TAppSettings& a = AppSettings;
  a.AssayFile = file.GetString("Assay", "File", a.AssayFile);
  for (int n = 0; n < kRecentAssays; ++n) {
    a.RecentAssays[n] = file.GetString("Assay", RecentKey(n), a.RecentAssays[n]);
  }
}

void WriteAssaySettings(IniFile& file) {
  const TAppSettings& a = AppSettings;
  std::vector<std::string> keys = {"File"};
  bool chosen = !a.AssayFile.empty();
  for (int n = 0; n < kRecentAssays; ++n) {
    chosen = chosen || !a.RecentAssays[n].empty();
    keys.push_back(RecentKey(n));
  }
  if (!OptionalSectionWritten(file, "Assay", keys, chosen)) return;
  file.SetString("Assay", "File", a.AssayFile);
  for (int n = 0; n < kRecentAssays; ++n) {
    if (a.RecentAssays[n].empty()) {
      file.DeleteKey("Assay", RecentKey(n));
    } else {
      file.SetString("Assay", RecentKey(n), a.RecentAssays[n]);
    }
  }
}
