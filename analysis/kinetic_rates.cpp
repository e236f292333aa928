#include "analysis/kinetic_rates.h"

#include <algorithm>
#include <cmath>

#include "results/shared_state.h"

namespace analysis {

std::array<int32_t, kLayoutWells> RatesAsPlate(const KineticAnalysis& kinetics) {
  std::array<int32_t, kLayoutWells> values;
  values.fill(kNoValue);
  for (const KineticWell& well : kinetics.wells) {
    if (well.rate && std::isfinite(*well.rate))
      values[static_cast<size_t>(well.well)] = static_cast<int32_t>(std::lround(*well.rate * 1000));
  }
  return values;
}

PlateAnalysis AnalyseRates(const KineticAnalysis& kinetics, const PlateLayout& layout,
                           const AnalysisOptions& options) {
  const std::array<int32_t, kLayoutWells> values = RatesAsPlate(kinetics);
  return AnalysePlate(values, layout, options);
}

}  // namespace analysis
