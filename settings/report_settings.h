// The [Report] section of the settings file:
//
//   [Report]
//   OpenAfterSaving=1
//
// Written only once the choice was made, so that existing settings files
// stay as they are.
#pragma once

#include "settings/ini_file.h"

void ReadReportSettings(const IniFile& file);
void WriteReportSettings(IniFile& file);
