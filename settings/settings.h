// The settings file platovix.ini: read once at start-up into AppSettings,
// FilterTable and PortMap, written back once at the end.
#pragma once

#include <cstdint>
#include <string>

#include "settings/ini_file.h"

// $XDG_CONFIG_HOME/platovix.ini, else ~/.config/platovix.ini.
std::string SettingsFilePath();

// Missing file, section or key: the field keeps its value. Never fails.
void LoadSettings();

// Writes AppSettings and the filter list, keeping everything else the file
// holds. Failures are silent: the program ends normally either way.
void SaveSettings();

// Puts value, as a decimal number, under key in the document being saved.
bool WriteSettingInt(const char* section, const char* key, int32_t value, IniFile& file);
