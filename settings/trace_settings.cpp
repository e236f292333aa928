#include "settings/trace_settings.h"

#include "results/shared_state.h"

void ReadTraceSettings(const IniFile& file) {
  TAppSettings& a = AppSettings;
  a.TraceEnabled = file.GetInt("Trace", "Enabled", a.TraceEnabled) != 0 ? 1 : 0;
  a.TraceFile = file.GetString("Trace", "File", a.TraceFile);
}

void WriteTraceSettings(IniFile& file) {
  const TAppSettings& a = AppSettings;
  const char* absent = "\x01";
  const bool present = file.GetString("Trace", "Enabled", absent) != absent ||
                       file.GetString("Trace", "File", absent) != absent;
  if (a.TraceEnabled == 0 && a.TraceFile.empty() && !present) return;
  file.SetString("Trace", "Enabled", a.TraceEnabled != 0 ? "1" : "0");
  file.SetString("Trace", "File", a.TraceFile);
}
