// The kinetic analysis on the command line: a series of plates (read now or
// saved by measure --repeat) becomes the per-well rates or growth
// parameters, as JSON, CSV or tab-separated text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/kinetics.h"
#include "analysis/plate_analysis.h"
#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "results/result_file_reader.h"

// One read of a series, seconds after the series' first start.
analysis::KineticRead KineticReadOf(const TPlateResult& plate, double seconds);

// The plates of a saved series with their times: elapsedSeconds where every
// read has it, else the completion times from the first read's. False with
// a one-line reason when a read has neither or time runs backwards.
bool KineticReadsOf(const std::vector<SavedPlate>& plates,
                    std::vector<analysis::KineticRead>* reads, std::string* error);

// With an assay whose response is the rate (rate mode, a layout): the
// rates through its standard curve and QC.
std::optional<analysis::PlateAnalysis> RatesOf(const analysis::KineticAnalysis& result,
                                               const CliOptions& options);

// The analysis of the reads in options.format (tsv: the per-well table with
// tabs). With an assay whose response is the rate, the rates also go
// through its standard curve and QC ("analysis" beside "kinetics", or the
// analysis block after the table); the verdict then goes to err and
// *qcFailed says whether it failed.
std::string FormatKinetics(const std::vector<analysis::KineticRead>& reads,
                           const CliOptions& options, std::ostream& err, bool* qcFailed);

// analyse --kinetic SERIES: exit code as RunCli gives it.
int RunKineticAnalyse(const CliOptions& options, const CliIo& io);
