// Where a read waits while the archive cannot take it (disk full, read-only,
// locked too long): one self-checking line per entry, appended and synced
// with its folder, written into the archive at the next chance and only
// then emptied. Each archive has its own spool, never drained into another.
#pragma once

#include <string>
#include <vector>

#include "archive/chained_archive.h"

namespace archive {

// $XDG_STATE_HOME/platovix, else ~/.local/state/platovix.
std::string StateFolder();

// Beside the archive first; in the user's state folder, named after the
// archive's absolute path, when that folder cannot be written
// ($XDG_STATE_HOME/platovix/spool, else ~/.local/state/platovix/spool).
std::vector<std::string> SpoolPaths(const std::string& archivePath);

// Appends the content to the first spool that takes it; its path, or empty
// with *error when none did.
std::string SpoolEntry(const std::string& archivePath, const std::string& content,
                       std::string* error);

// Stores what the spools hold, in order; each spool is emptied only when
// all of it is in the archive. Bytes that are no whole entry (a write cut
// short) are moved aside, kept as they were, and named in *messages. The
// number of entries stored, -1 on failure.
int DrainSpools(const std::string& archivePath, ChainedArchive& archive, std::string* error,
                std::vector<std::string>* messages = nullptr);

}  // namespace archive
