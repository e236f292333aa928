// The plate report from the command line: platovix-cli report for a saved
// plate or an archived read (--record), and measure --report for the read
// just made. Builds without the
// desktop program's Qt have no report and say so.
#pragma once

#include <string>

#include "archive/plate_read.h"
#include "archive/read_state.h"
#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "results/result_file.h"

int RunReport(const CliOptions& options, const CliIo& io);

// The report of one read to options.reportPath; false with the reason.
// With a record (the read as archived) the report names its UUID and hash,
// and the chain head of archiveName, the archive it was stored in.
bool WriteReadReport(const TPlateResult& plate, const ResultContext& context,
                     const CliOptions& options, std::string* error,
                     const archive::PlateRead* record = nullptr,
                     const std::string& archiveName = {});

// The same to any path; with an archived read as it is now (its plate ID,
// status, excluded wells and comments), its record.
bool WritePlateReportFile(const TPlateResult& plate, const ResultContext& context,
                          const CliOptions& options, const std::string& path, std::string* error,
                          const archive::ReadState* state = nullptr,
                          const std::string& archiveName = {});
