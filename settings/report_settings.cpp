#include "settings/report_settings.h"

#include "results/shared_state.h"

void ReadReportSettings(const IniFile& file) {
  AppSettings.OpenReportAfterSaving =
      file.GetInt("Report", "OpenAfterSaving", AppSettings.OpenReportAfterSaving) != 0 ? 1 : 0;
}

void WriteReportSettings(IniFile& file) {
  const char* absent = "\x01";
  const bool present = file.GetString("Report", "OpenAfterSaving", absent) != absent;
  if (AppSettings.OpenReportAfterSaving == 0 && !present) return;
  file.SetString("Report", "OpenAfterSaving", AppSettings.OpenReportAfterSaving != 0 ? "1" : "0");
}
