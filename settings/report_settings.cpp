#include "settings/report_settings.h"

#include "results/shared_state.h"
#include "settings/optional_section.h"

void ReadReportSettings(const IniFile& file) {
  AppSettings.OpenReportAfterSaving =
      file.GetInt("Report", "OpenAfterSaving", AppSettings.OpenReportAfterSaving) != 0 ? 1 : 0;
}

void WriteReportSettings(IniFile& file) {
  const bool set = AppSettings.OpenReportAfterSaving != 0;
  if (!OptionalSectionWritten(file, "Report", {"OpenAfterSaving"}, set)) return;
  file.SetString("Report", "OpenAfterSaving", AppSettings.OpenReportAfterSaving != 0 ? "1" : "0");
}
