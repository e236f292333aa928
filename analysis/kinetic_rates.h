// An assay whose response is the rate: the wells' rates go through the
// ordinary standard curve, QC rules and verdict as a plate would.
#pragma once

#include <array>
#include <cstdint>

#include "analysis/kinetics.h"
#include "analysis/plate_analysis.h"

namespace analysis {

// The rates as a plate: thousandths of mOD/min, kNoValue where a well has none.
std::array<int32_t, kLayoutWells> RatesAsPlate(const KineticAnalysis& kinetics);

PlateAnalysis AnalyseRates(const KineticAnalysis& kinetics, const PlateLayout& layout,
                           const AnalysisOptions& options);

}  // namespace analysis
