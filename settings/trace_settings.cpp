#include "settings/trace_settings.h"

#include "results/shared_state.h"
#include "settings/optional_section.h"

void ReadTraceSettings(const IniFile& file) {
  TAppSettings& a = AppSettings;
  a.TraceEnabled = file.GetInt("Trace", "Enabled", a.TraceEnabled) != 0 ? 1 : 0;
  a.TraceFile = file.GetString("Trace", "File", a.TraceFile);
}

void WriteTraceSettings(IniFile& file) {
  const TAppSettings& a = AppSettings;
  const bool set = a.TraceEnabled != 0 || !a.TraceFile.empty();
  if (!OptionalSectionWritten(file, "Trace", {"Enabled", "File"}, set)) return;
  file.SetString("Trace", "Enabled", a.TraceEnabled != 0 ? "1" : "0");
  file.SetString("Trace", "File", a.TraceFile);
}
