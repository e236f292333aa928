#include "settings/report_settings.h"

#include "results/shared_state.h"

void ReadReportSettings(const IniFile& file) {
  AppSettings.OpenReportAfterSaving =
      file.GetInt("Report", "OpenAfterSaving", AppSettings.OpenReportAfterSaving) != 0 ? 1 : 0;
}

void WriteReportSettings(IniFile& file) {
  // Written only once chosen, so that older files stay as they were.
  if (AppSettings.OpenReportAfterSaving == 0 && !file.HasKey("Report", "OpenAfterSaving")) return;
  file.SetString("Report", "OpenAfterSaving", AppSettings.OpenReportAfterSaving != 0 ? "1" : "0");
}
