// The [Trace] section of the settings file:
//
//   [Trace]
//   Enabled=1
//   File=/home/lab/reader.trace
//
// A file that never had the section keeps not having it while the trace has
// never been set up.
#pragma once

#include "settings/ini_file.h"

void ReadTraceSettings(const IniFile& file);
void WriteTraceSettings(IniFile& file);
