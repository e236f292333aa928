// Where a read waits while the archive cannot take it (disk full, read-only,
// locked too long): one line of entry content per read, appended and synced,
// written into the archive at the next chance and only then emptied.
#pragma once

#include <string>
#include <vector>

#include "archive/chained_archive.h"

namespace archive {

// Beside the archive first; the user's state folder when that folder
// cannot be written ($XDG_STATE_HOME/platovix, else ~/.local/state/platovix).
std::vector<std::string> SpoolPaths(const std::string& archivePath);

// Appends the content to the first spool that takes it; its path, or empty
// with *error when none did.
std::string SpoolEntry(const std::string& archivePath, const std::string& content,
                       std::string* error);

// Stores what the spools hold, in order; each spool is emptied only when
// all of it is in the archive. The number of entries stored, -1 on failure.
int DrainSpools(const std::string& archivePath, ChainedArchive& archive, std::string* error);

}  // namespace archive
