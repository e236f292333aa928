#include "settings/assay_settings.h"

#include <string>

#include "results/shared_state.h"

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
  bool present = file.HasKey("Assay", "File");
  bool chosen = !a.AssayFile.empty();
  for (int n = 0; n < kRecentAssays; ++n) {
    chosen = chosen || !a.RecentAssays[n].empty();
    present = present || file.HasKey("Assay", RecentKey(n));
  }
  if (!chosen && !present) return;
  file.SetString("Assay", "File", a.AssayFile);
  for (int n = 0; n < kRecentAssays; ++n) {
    if (a.RecentAssays[n].empty()) {
      file.DeleteKey("Assay", RecentKey(n));
    } else {
      file.SetString("Assay", RecentKey(n), a.RecentAssays[n]);
    }
  }
}
