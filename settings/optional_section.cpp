#include "settings/optional_section.h"

bool OptionalSectionWritten(const IniFile& file, const std::string& section,
                            const std::vector<std::string>& keys, bool set) {
  if (set) return true;
  for (const std::string& key : keys) {
    if (file.HasKey(section, key)) return true;
  }
  return false;
}
