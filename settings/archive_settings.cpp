#include "settings/archive_settings.h"

#include "results/shared_state.h"
#include "settings/optional_section.h"

void ReadArchiveSettings(const IniFile& file) {
  TAppSettings& a = AppSettings;
  a.ArchiveEnabled = file.GetInt("Archive", "Enabled", a.ArchiveEnabled) != 0 ? 1 : 0;
  a.ArchiveUrl = file.GetString("Archive", "Url", a.ArchiveUrl);
}

void WriteArchiveSettings(IniFile& file) {
  const TAppSettings& a = AppSettings;
  const bool set = a.ArchiveEnabled == 0 || !a.ArchiveUrl.empty();
  if (!OptionalSectionWritten(file, "Archive", {"Enabled", "Url"}, set)) return;
  file.SetString("Archive", "Enabled", a.ArchiveEnabled != 0 ? "1" : "0");
  file.SetString("Archive", "Url", a.ArchiveUrl);
}
