// The embedded archive: one SQLite file in WAL mode with synchronous=FULL,
// so a read reported stored survives a power cut. A damaged file is found
// before anything is written and kept as it was; the reads go to a new
// archive beside it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "archive/chained_archive.h"

namespace archive {

// $XDG_DATA_HOME/platovix/archive.sqlite, else ~/.local/share/platovix/...
std::string DefaultArchivePath();

struct SqliteOpenNotes {
  std::string path;                   // the file opened: path or a new one beside it
  std::vector<std::string> messages;  // for the user: damaged file, newer schema
  std::string writeProblem;           // why nothing can be written now; empty when it can
  SqlFailure failure = SqlFailure::None;
};

// Opens (creating, migrating) the archive at path for appending. When it
// cannot be written to, opens it read-only if it can and says why in
// notes->writeProblem; nullptr when it cannot be read at all.
std::unique_ptr<ChainedArchive> OpenSqliteArchive(const std::string& path, SqliteOpenNotes* notes);

// Opens the archive only to read from it: no damage check (nothing is
// written), no schema change. nullptr with "no archive at PATH" in
// notes->writeProblem when there is none.
std::unique_ptr<ChainedArchive> OpenSqliteArchiveForReading(const std::string& path,
                                                            SqliteOpenNotes* notes);

// The file a damaged archive's reads continue in: archive.sqlite ->
// archive-2.sqlite (n = 2), archive-3.sqlite, ...
std::string ContinuationPath(const std::string& path, int n);

// What waits in the damaged files before a continuation (their entries not
// yet in the lab archive when unforwarded, then their spools) goes into it,
// oldest first: nothing is stranded in a file nothing writes any more. What
// cannot be read stays where it is, and *messages say so.
void CarryToContinuation(const std::string& original, ChainedArchive& continuation,
                         bool unforwarded, std::vector<std::string>* messages);

// The archive at path was checked and is now closed by this process: the
// next open skips the check unless the file changed meanwhile.
void RememberSound(const std::string& path);

// PRAGMA quick_check: finds damaged pages without reading every index
// entry against its row. Empty when the file is sound, else what is wrong.
std::string DamageOf(const std::string& path);

}  // namespace archive
