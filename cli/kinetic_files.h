// The files a kinetic series leaves besides its text: the workbook
// (--format xlsx -o FILE.xlsx) and the run's report (--report FILE.pdf).
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/kinetics.h"
#include "cli/cli_options.h"

// What the report says of the run beyond its reads.
struct KineticRunFacts {
  std::string started;  // the first read's start, ISO 8601
  std::optional<double> intervalSeconds;
  int plannedReads = 0;     // 0: not known
  std::string recordUuid;   // the run's archive record
  std::string archiveName;  // the archive that holds it
  std::string status = "completed";
  std::string message;  // why an aborted or failed run ended
};

// The workbook to options.output when options.xlsx; false with the reason.
bool WriteKineticWorkbook(const std::vector<analysis::KineticRead>& reads,
                          const CliOptions& options, std::string* error);

// The report to options.reportPath; false with the reason.
bool WriteKineticReport(const std::vector<analysis::KineticRead>& reads, const CliOptions& options,
                        const KineticRunFacts& facts, std::string* error);
