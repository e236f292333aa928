#include "settings/trace_settings.h"

#include "results/shared_state.h"

void ReadTraceSettings(const IniFile& file) {
  TAppSettings& a = AppSettings;
  a.TraceEnabled = file.GetInt("Trace", "Enabled", a.TraceEnabled) != 0 ? 1 : 0;
  a.TraceFile = file.GetString("Trace", "File", a.TraceFile);
}

void WriteTraceSettings(IniFile& file) {
  const TAppSettings& a = AppSettings;
  const bool present = file.HasKey("Trace", "Enabled") || file.HasKey("Trace", "File");
  if (a.TraceEnabled == 0 && a.TraceFile.empty() && !present) return;
  file.SetString("Trace", "Enabled", a.TraceEnabled != 0 ? "1" : "0");
  file.SetString("Trace", "File", a.TraceFile);
}
