// The files a kinetic series leaves besides its text: the workbook
// (--format xlsx -o FILE.xlsx) and the run's report (--report FILE.pdf).
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/kinetic_run_facts.h"
#include "analysis/kinetics.h"
#include "cli/cli_options.h"

// The workbook to options.output when options.xlsx; false with the reason.
bool WriteKineticWorkbook(const std::vector<analysis::KineticRead>& reads,
                          const CliOptions& options, std::string* error);

// The report to options.reportPath; false with the reason.
bool WriteKineticReport(const std::vector<analysis::KineticRead>& reads, const CliOptions& options,
                        const analysis::KineticRunFacts& facts, std::string* error);
