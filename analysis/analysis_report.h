// A plate's analysis as others read it: a JSON object for scripts, a CSV
// block under the plate's grid, and the results table as tab-separated
// text (the form a spreadsheet pastes).
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "analysis/number_format.h"
#include "analysis/plate_analysis.h"

namespace analysis {

// The results table's columns: Name, Role, Wells, Mean, SD, CV %,
// Concentration, Flag.
const std::vector<std::string>& ResultsTableHeader();

// The header for this analysis: the one above without an assay; with one
// (significantDigits set) Name, Role, Wells, Dilution, Mean, SD, CV %,
// "Concentration (unit)", Recovery %, Flag.
std::vector<std::string> ResultsTableHeader(const PlateAnalysis& analysis);

// One row per group, in the header's order. With an assay, numbers as a lab
// reports them (number_format.h) and the wells without value or excluded
// marked in Wells. Wells as "A2 A3"; numbers
// with six significant digits, a decimal comma when asked; "" for none.
std::vector<std::vector<std::string>> ResultsTableRows(const PlateAnalysis& analysis,
                                                       bool decimalComma = false);

// The header and the rows, tab-separated, each line ending in CR LF like
// the plate's clipboard text.
std::string ResultsTableText(const PlateAnalysis& analysis, bool decimalComma = false);

// {"blank", "unit", "fit": {"model", "weighting", "parameters", "r2",
// "residuals"} or {"model", "weighting", "failure"}, "lloq", "uloq",
// "qc": {"verdict", "rules": [{"rule", "passed", "detail"}]} (with QC rules),
// "excluded": [{"well", "reason"}] (when any), "groups": [...]}; standard
// groups carry "nominal", "backCalculated" and "recovery" (percent). Full
// precision; absent numbers are null.
nlohmann::ordered_json AnalysisJson(const PlateAnalysis& analysis);

// The fit as "key,value" lines, a blank line and the results table with
// its header; ';' between fields with the decimal comma.
std::string AnalysisCsv(const PlateAnalysis& analysis, bool decimalComma);

// The fit's parameters in a line of their own: "a = 0.05, b = 1.3, ...";
// the failure when there is no fit.
std::string FitSummary(const CurveFit& fit);
// The same as a lab reports it: parameters with the style's significant
// digits and decimal mark, R² with 4 decimals.
std::string FitSummary(const CurveFit& fit, const NumberStyle& style);

}  // namespace analysis
