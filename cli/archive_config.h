// Where platovix-cli keeps reads: --archive, else the settings file's
// [Archive] Url=, else the local SQLite archive; and whether it does.
#pragma once

#include <ostream>

#include "archive/archive_store.h"
#include "cli/cli_options.h"
#include "results/result_file.h"

archive::StoreConfig ArchiveConfigFor(const CliOptions& options);

// measure stores unless --no-archive or [Archive] Enabled=0.
bool ArchivingOn(const CliOptions& options);

// An archive setting that is neither a file path nor a PostgreSQL URL: said
// before the reader is touched, so no read is taken that has nowhere to go.
bool ArchiveRefused(const CliOptions& options, std::string* why);

// The record of a read platovix-cli made, completed unless said otherwise.
archive::PlateRead ReadRecordOf(const TPlateResult& plate, const ResultContext& context,
                                const CliOptions& options, const std::string& device);

// Stores the read before anything shows it. Messages and the warning (the
// archive unavailable, the read spooled) go to err.
archive::StoreOutcome StoreReadFirst(const CliOptions& options, const archive::PlateRead& read,
                                     std::ostream& err);
// Then, with the result out, the stored reads go on to the lab archive
// when one is set up; while it cannot take them, they wait and err says so.
void ForwardAfterShown(const CliOptions& options, std::ostream& out, std::ostream& err);
