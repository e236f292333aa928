#include "analysis/rate_response.h"

#include <algorithm>
#include <cmath>

#include "analysis/analysis_report.h"
#include "analysis/kinetics_output.h"
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
  AnalysisOptions rateOptions = options;
  rateOptions.responseUnit = "mOD/min";
  return AnalysePlate(values, layout, rateOptions);
}

nlohmann::ordered_json KineticsJson(const KineticAnalysis& kinetics, const PlateAnalysis* rates) {
  nlohmann::ordered_json json = KineticsJson(kinetics);
  if (rates) json["analysis"] = AnalysisJson(*rates);
  return json;
}

}  // namespace analysis
