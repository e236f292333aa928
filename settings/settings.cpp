#include "settings/settings.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "results/shared_state.h"
#include "settings/archive_settings.h"
#include "settings/assay_settings.h"
#include "settings/optional_section.h"
#include "settings/report_settings.h"
#include "settings/trace_settings.h"

namespace {

constexpr int kFirstPort = 1;
constexpr int kLastPort = 4;

uint8_t Flag(int32_t value) {
  return value != 0 ? 1 : 0;
}

std::string FilterKey(int slot) {
  char key[16];  // room for any int, so the compiler sees no cut
  std::snprintf(key, sizeof key, "F%02d", slot);
  return key;
}

std::string PortKey(int n) {
  return "COM" + std::to_string(n);
}

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return home;
  const passwd* user = getpwuid(getuid());
  return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : ".";
}

void ReadSetup(const IniFile& file) {
  TAppSettings& a = AppSettings;
  a.bDelimComma = Flag(file.GetInt("Setup", "bDelimComma", a.bDelimComma));
  a.bAutoCopy = Flag(file.GetInt("Setup", "bAutoCopy", a.bAutoCopy));
  a.bAutoView = Flag(file.GetInt("Setup", "bAutoView", a.bAutoView));
  a.readerType = file.GetInt("Setup", "readerType", a.readerType);
  a.readerSubType = file.GetInt("Setup", "readerSubType", a.readerSubType);
  a.nComPort = file.GetInt("Setup", "nComPort", a.nComPort);
  a.nBaudRate = file.GetInt("Setup", "nBaudRate", a.nBaudRate);
  a.nBits = file.GetInt("Setup", "nBits", a.nBits);
  a.nParity = file.GetInt("Setup", "nParity", a.nParity);
  a.nStops = file.GetInt("Setup", "nStops", a.nStops);
}

void ReadWindow(const IniFile& file) {
  AppSettings.X = file.GetInt("Window", "X", AppSettings.X);
  AppSettings.Y = file.GetInt("Window", "Y", AppSettings.Y);
  AppSettings.Reduced = Flag(file.GetInt("Window", "Reduced", AppSettings.Reduced));
}

// The list ends at the first missing or negative entry: a gap cuts off
// everything after it.
void ReadFilters(const IniFile& file) {
  FilterTable.nCount = 0;
  for (int slot = 1; slot <= kFilterSlots; ++slot) {
    const int32_t wavelength = file.GetInt("Filters", FilterKey(slot), -1);
    if (wavelength < 0) break;
    FilterTable.nWavelength[FilterTable.nCount++] = wavelength;
  }
}

void ReadLastMeasure(const IniFile& file) {
  AppSettings.nLastF1 = file.GetInt("LastMeasure", "nLastF1", AppSettings.nLastF1);
  AppSettings.nLastF2 = file.GetInt("LastMeasure", "nLastF2", AppSettings.nLastF2);
}

// Which device stands for COMn: set by hand in the file, or chosen in
// Options (WritePorts).
void ReadPorts(const IniFile& file) {
  for (int n = kFirstPort; n <= kLastPort; ++n) {
    PortMap.szDevice[n] = file.GetString("Ports", PortKey(n), PortMap.szDevice[n]);
  }
}

// The choices the analysis offers; anything else in the file keeps the default.
bool IsOneOf(const std::string& value, std::initializer_list<const char*> accepted) {
  for (const char* choice : accepted) {
    if (value == choice) return true;
  }
  return false;
}

void ReadAnalysis(const IniFile& file) {
  TAppSettings& a = AppSettings;
  a.HeatMap = Flag(file.GetInt("Analysis", "HeatMap", a.HeatMap));
  a.LayoutFile = file.GetString("Analysis", "LayoutFile", a.LayoutFile);
  const std::string fit = file.GetString("Analysis", "Fit", a.Fit);
  if (IsOneOf(fit, {"linear", "4pl", "5pl", "quadratic", "point-to-point"})) a.Fit = fit;
  const std::string weight = file.GetString("Analysis", "Weight", a.Weight);
  if (IsOneOf(weight, {"none", "1/y", "1/y2"})) a.Weight = weight;
}

void WritePorts(IniFile& file) {
  for (int n = kFirstPort; n <= kLastPort; ++n) {
    if (!PortMap.bChosen[n]) continue;
    if (PortMap.szDevice[n].empty()) {
      file.DeleteKey("Ports", PortKey(n));  // back to /dev/ttyS<n-1>
    } else {
      file.SetString("Ports", PortKey(n), PortMap.szDevice[n]);
    }
  }
}

void WriteSetup(IniFile& file) {
  const TAppSettings& a = AppSettings;
  WriteSettingInt("Setup", "bDelimComma", Flag(a.bDelimComma), file);
  WriteSettingInt("Setup", "bAutoCopy", Flag(a.bAutoCopy), file);
  WriteSettingInt("Setup", "bAutoView", Flag(a.bAutoView), file);
  WriteSettingInt("Setup", "readerType", a.readerType, file);
  WriteSettingInt("Setup", "readerSubType", a.readerSubType, file);
  WriteSettingInt("Setup", "nComPort", a.nComPort, file);
  WriteSettingInt("Setup", "nBaudRate", a.nBaudRate, file);
  WriteSettingInt("Setup", "nBits", a.nBits, file);
  WriteSettingInt("Setup", "nParity", a.nParity, file);
  WriteSettingInt("Setup", "nStops", a.nStops, file);
}

void WriteWindow(IniFile& file) {
  WriteSettingInt("Window", "X", AppSettings.X, file);
  WriteSettingInt("Window", "Y", AppSettings.Y, file);
  WriteSettingInt("Window", "Reduced", Flag(AppSettings.Reduced), file);
}

// Empty slots at the end of the list mean nothing: they are dropped from the
// table itself, not only from the file.
void WriteFilters(IniFile& file) {
  file.DeleteSection("Filters");
  FilterTable.nCount = std::clamp(FilterTable.nCount, 0, kFilterSlots);
  while (FilterTable.nCount > 0 && FilterTable.nWavelength[FilterTable.nCount - 1] == 0) {
    --FilterTable.nCount;
  }
  for (int slot = 0; slot < FilterTable.nCount; ++slot) {
    WriteSettingInt("Filters", FilterKey(slot + 1).c_str(), FilterTable.nWavelength[slot], file);
  }
}

void WriteLastMeasure(IniFile& file) {
  WriteSettingInt("LastMeasure", "nLastF1", AppSettings.nLastF1, file);
  WriteSettingInt("LastMeasure", "nLastF2", AppSettings.nLastF2, file);
}

void WriteAnalysis(IniFile& file) {
  const TAppSettings& a = AppSettings;
  const TAppSettings defaults;
  const bool changed = a.HeatMap != defaults.HeatMap || a.LayoutFile != defaults.LayoutFile ||
                       a.Fit != defaults.Fit || a.Weight != defaults.Weight;
  if (!OptionalSectionWritten(file, "Analysis", {"HeatMap", "LayoutFile", "Fit", "Weight"},
                              changed))
    return;
  WriteSettingInt("Analysis", "HeatMap", Flag(a.HeatMap), file);
  file.SetString("Analysis", "LayoutFile", a.LayoutFile);
  file.SetString("Analysis", "Fit", a.Fit);
  file.SetString("Analysis", "Weight", a.Weight);
}

}  // namespace

std::string SettingsFilePath() {
  // Only an absolute XDG_CONFIG_HOME counts; a relative one is ignored.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/platovix.ini";
  return HomeDirectory() + "/.config/platovix.ini";
}

void LoadSettings() {
  IniFile file;
  LoadIniFile(SettingsFilePath(), &file);  // whatever cannot be read keeps its default
  ReadSetup(file);
  ReadWindow(file);
  ReadFilters(file);
  ReadLastMeasure(file);
  ReadPorts(file);
  ReadAnalysis(file);
  ReadTraceSettings(file);
  ReadArchiveSettings(file);
  ReadAssaySettings(file);
  ReadReportSettings(file);
}

void SaveSettings() {
  const std::string path = SettingsFilePath();
  IniFile file;
  // Writing over a file we could not read would throw away what it holds.
  if (LoadIniFile(path, &file) == IniLoad::kUnreadable) return;
  WriteSetup(file);
  WriteWindow(file);
  WriteFilters(file);
  WriteLastMeasure(file);
  WriteAnalysis(file);
  WriteReportSettings(file);
  WriteTraceSettings(file);
  WriteArchiveSettings(file);
  WriteAssaySettings(file);
  WritePorts(file);
  KeepArchiveCredentialsPrivate(path);
  SaveIniFile(path, file);
}

bool WriteSettingInt(const char* section, const char* key, int32_t value, IniFile& file) {
  file.SetString(section, key, std::to_string(value));
  return true;
}
