// A read with its analysis in the chosen format, for measure and analyse:
// JSON gets an "analysis" member, CSV a block after the grid; TSV (the
// clipboard text) is left alone unless only the analysis is asked for,
// which is then the results table.
#pragma once

#include <ostream>
#include <string>

#include "analysis/plate_analysis.h"
#include "cli/cli_options.h"
#include "results/result_file.h"

// The read as FormatRead would give it, with the analysis of the plate
// against options.layout. file, when not empty, is named first (analyse
// says which saved plate each result belongs to).
std::string FormatReadWithAnalysis(const TPlateResult& plate, const ResultContext& context,
                                   const analysis::PlateAnalysis& result, const CliOptions& options,
                                   const std::string& file = "");

// With an assay: "platovix-cli: QC Pass" or "QC Fail" and one line per
// broken rule on err. True when the verdict is Fail.
bool ReportVerdict(const TPlateResult& plate, const CliOptions& options, std::ostream& err,
                   const std::string& file = "");
bool ReportVerdict(const analysis::PlateAnalysis& result, std::ostream& err,
                   const std::string& file = "");
