// Reads as the command line finds them again: the archive to read from and
// a stored read turned back into a plate (archive commands, report --record).
#pragma once

#include <memory>
#include <ostream>

#include "archive/archive.h"
#include "cli/cli_options.h"
#include "results/result_file.h"

// The archive a command reads from: the lab's, else (when it cannot be
// reached, said on err) the local one. Null with the reason on err.
std::unique_ptr<archive::Archive> OpenArchiveToRead(const CliOptions& options, std::ostream& err);

// A stored read as a plate again: values, filters, reader and times.
void PlateOfRecord(const archive::PlateRead& read, TPlateResult* plate, ResultContext* context);
