// A plate's analysis as others read it: a JSON object for scripts, a CSV
// block under the plate's grid, and the results table as tab-separated
// text (the form a spreadsheet pastes).
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "analysis/plate_analysis.h"

namespace analysis {

// The results table's columns: Name, Role, Wells, Mean, SD, CV %,
// Concentration, Flag.
const std::vector<std::string>& ResultsTableHeader();

// One row per group, in the header's order. Wells as "A2 A3"; numbers
// with six significant digits, a decimal comma when asked; "" for none.
std::vector<std::vector<std::string>> ResultsTableRows(const PlateAnalysis& analysis,
                                                       bool decimalComma = false);

// The header and the rows, tab-separated, each line ending in CR LF like
// the plate's clipboard text.
std::string ResultsTableText(const PlateAnalysis& analysis, bool decimalComma = false);

// {"blank", "unit", "fit": {"model", "weighting", "parameters", "r2",
// "residuals"} or {"model", "weighting", "failure"}, "groups": [...]};
// absent numbers are null.
nlohmann::ordered_json AnalysisJson(const PlateAnalysis& analysis);

// The fit as "key,value" lines, a blank line and the results table with
// its header; ';' between fields with the decimal comma.
std::string AnalysisCsv(const PlateAnalysis& analysis, bool decimalComma);

// The fit's parameters in a line of their own: "a = 0.05, b = 1.3, ...";
// the failure when there is no fit.
std::string FitSummary(const CurveFit& fit);

}  // namespace analysis
