// A kinetic analysis as others read it: a JSON object for scripts, and a
// CSV with the series (one row per read, one column per well) followed by
// the per-well table.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "analysis/kinetics.h"

namespace analysis {

// {"kinetics": {"mode", "window", "wells": [...]}}; rate mode: "well",
// "name", "role", "rate" (mOD/min), "r2", "windowStartMinutes",
// "windowEndMinutes", "lagMinutes", "timeToMaxMinutes", "flag"; growth mode
// "muMaxPerHour", "r2", "windowStartHours", "windowEndHours",
// "doublingTimeHours", "lagHours", "k", "auc" and "logistic" {"k", "n0", "r",
// "tMidHours", "auc"}. Absent numbers are null.
nlohmann::ordered_json KineticsJson(const KineticAnalysis& analysis);

// The per-well table: its header and one row per well; "" for none.
std::vector<std::string> KineticsTableHeader(KineticMode mode);
std::vector<std::vector<std::string>> KineticsTableRows(const KineticAnalysis& analysis,
                                                        bool decimalComma = false);

// "elapsed [s]" and the 96 wells, one row per read in OD as read, a blank
// line, then the table. separator ',' (';' with the decimal comma) or '\t'.
std::string KineticsCsv(const KineticAnalysis& analysis, const std::vector<KineticRead>& reads,
                        char separator, bool decimalComma);

}  // namespace analysis
