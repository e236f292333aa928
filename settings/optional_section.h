// Sections that came after the first settings files are written only once
// they have something to say: a file that never had the section, saved by a
// program whose settings in it are still the defaults, keeps not having it,
// byte for byte. Once written, the section stays and says what is set.
#pragma once

#include <string>
#include <vector>

#include "settings/ini_file.h"

// Whether the section is to be written: set (the settings differ from the
// defaults) or the file already holds one of its keys.
bool OptionalSectionWritten(const IniFile& file, const std::string& section,
                            const std::vector<std::string>& keys, bool set);
