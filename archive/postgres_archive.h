// The lab-wide archive in PostgreSQL: the same schema and chain, with the
// append-only rule kept by the database itself (triggers refuse UPDATE,
// DELETE and TRUNCATE on the entries, whatever client asks).
#pragma once

#include <memory>
#include <string>

#include "archive/chained_archive.h"

namespace archive {

// A postgresql:// or postgres:// URL or a libpq keyword string (archive_url.h).
bool IsPostgresUrl(const std::string& url);

// nullptr with *error when the server cannot be reached or the schema not
// prepared; *note names a newer schema (then the archive is read-only).
std::unique_ptr<ChainedArchive> OpenPostgresArchive(const std::string& url, std::string* note,
                                                    std::string* error);

// Opens the lab archive only to read from it: no schema is created or
// migrated (that is archive init's and the stores' work, as the owner).
// nullptr with *error; *reached tells a server that answered (no schema,
// an older one) from one that could not be reached.
std::unique_ptr<ChainedArchive> OpenPostgresArchiveForReading(const std::string& url,
                                                              std::string* note, std::string* error,
                                                              bool* reached = nullptr);

}  // namespace archive
