// The [Assay] section of the settings file: the assay chosen in the main
// dialog and the ones chosen before it, newest first.
//
//   [Assay]
//   File=/home/lab/elisa-assay.json
//   Recent1=/home/lab/bradford-assay.json
//
// A file that never had the section keeps not having it while no assay has
// been chosen: settings files of before stay byte for byte as they were.
#pragma once

#include "settings/ini_file.h"

void ReadAssaySettings(const IniFile& file);
void WriteAssaySettings(IniFile& file);
