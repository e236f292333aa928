// The [Archive] section of the settings file:
//
//   [Archive]
//   Enabled=0
//   Url=postgresql://labserver/platovix
//
// Written only once either is set, so a file without the section keeps
// not having it.
#pragma once

#include "settings/ini_file.h"

void ReadArchiveSettings(const IniFile& file);
void WriteArchiveSettings(IniFile& file);

// A Url= with a user or password in it makes the settings file the user's
// alone (mode 0600) before it is written: the new file takes the old one's mode.
void KeepArchiveCredentialsPrivate(const std::string& settingsPath);
