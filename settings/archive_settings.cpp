#include "settings/archive_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "results/atomic_file.h"
#include "results/shared_state.h"
#include "settings/optional_section.h"

namespace {

// user:password@ in a URL, or a password= key in a URL or keyword string.
bool HoldsCredentials(const std::string& url) {
  if (url.find("password") != std::string::npos) return true;
  const size_t scheme = url.find("://");
  if (scheme == std::string::npos) return false;
  const size_t at = url.find('@', scheme);
  return at != std::string::npos && at < url.find_first_of("/?", scheme + 3);
}

}  // namespace

void ReadArchiveSettings(const IniFile& file) {
  TAppSettings& a = AppSettings;
  a.ArchiveEnabled = file.GetInt("Archive", "Enabled", a.ArchiveEnabled) != 0 ? 1 : 0;
  a.ArchiveUrl = file.GetString("Archive", "Url", a.ArchiveUrl);
}

void WriteArchiveSettings(IniFile& file) {
  const TAppSettings& a = AppSettings;
  const bool set = a.ArchiveEnabled == 0 || !a.ArchiveUrl.empty();
  if (!OptionalSectionWritten(file, "Archive", {"Enabled", "Url"}, set)) return;
  file.SetString("Archive", "Enabled", a.ArchiveEnabled != 0 ? "1" : "0");
  file.SetString("Archive", "Url", a.ArchiveUrl);
}

void KeepArchiveCredentialsPrivate(const std::string& settingsPath) {
  if (!HoldsCredentials(AppSettings.ArchiveUrl)) return;
  MakeDirectories(DirectoryOf(settingsPath));
  const int fd = open(settingsPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  fchmod(fd, 0600);
  close(fd);
}
