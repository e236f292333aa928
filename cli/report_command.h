// The plate report from the command line: platovix-cli report for a saved
// plate, and measure --report for the read just made. Builds without the
// desktop program's Qt have no report and say so.
#pragma once

#include <string>

#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "results/result_file.h"

int RunReport(const CliOptions& options, const CliIo& io);

// The report of one read to options.reportPath; false with the reason.
bool WriteReadReport(const TPlateResult& plate, const ResultContext& context,
                     const CliOptions& options, std::string* error);

// The same to any path.
bool WritePlateReportFile(const TPlateResult& plate, const ResultContext& context,
                          const CliOptions& options, const std::string& path, std::string* error);
