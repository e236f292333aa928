// An assay whose response is the rate (enzyme activity from a standard
// series): the wells' steepest rates, not their absorbances, go through the
// standard curve, the QC rules and the verdict. Every front end analyses
// and stores a run of such an assay the same way.
#pragma once

#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>

#include "analysis/kinetics.h"
#include "analysis/plate_analysis.h"

namespace analysis {

// The rates as a plate: thousandths of mOD/min (as absorbances are held),
// kNoValue where a well has none.
std::array<int32_t, kLayoutWells> RatesAsPlate(const KineticAnalysis& kinetics);

// That plate analysed with the layout.
PlateAnalysis AnalyseRates(const KineticAnalysis& kinetics, const PlateLayout& layout,
                           const AnalysisOptions& options);

// KineticsJson, with the rates' analysis beside "kinetics" as "analysis"
// when there is one.
nlohmann::ordered_json KineticsJson(const KineticAnalysis& kinetics, const PlateAnalysis* rates);

}  // namespace analysis
