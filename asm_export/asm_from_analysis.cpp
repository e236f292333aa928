#include "asm_export/asm_from_analysis.h"

#include <algorithm>
#include <iterator>

namespace {

const char* AsmRole(analysis::WellRole role) {
  switch (role) {
    case analysis::WellRole::Blank:
      return "blank role";
    case analysis::WellRole::Standard:
      return "standard sample role";
    case analysis::WellRole::Sample:
      return "unknown sample role";
    case analysis::WellRole::Control:
      return "control sample role";
    case analysis::WellRole::Empty:
      break;
  }
  return "";
}

// The layout's name, or for a standard without one its level.
std::string SampleName(const analysis::WellContent& well) {
  if (!well.name.empty() || well.role != analysis::WellRole::Standard) return well.name;
  return well.concentration ? "Standard " + analysis::FormatNumber(well.concentration) : "";
}

std::string Description(const analysis::GroupResult& group, const analysis::CurveFit& fit) {
  std::string text = "mean of the blank-corrected absorbances back-calculated from the " +
                     std::string(analysis::CurveModelName(fit.model)) + " standard curve";
  if (group.dilution != 1) text += ", times the dilution " + analysis::FormatNumber(group.dilution);
  return text;
}

}  // namespace

AsmPlate AsmPlateOf(const TPlateResult& plate, const ResultContext& context,
                    const std::string& plateId, const analysis::PlateLayout* layout,
                    const analysis::PlateAnalysis* analysis) {
  AsmPlate out{plate, context, plateId, {}, {}, {}};
  if (layout) {
    for (int well = 0; well < kWells; ++well) {
      const analysis::WellContent& content = layout->wells[static_cast<size_t>(well)];
      out.sampleNames[static_cast<size_t>(well)] = SampleName(content);
      out.roles[static_cast<size_t>(well)] = AsmRole(content.role);
    }
  }
  if (!analysis) return out;
  const std::string unit = analysis->unit.empty() ? "(unitless)" : analysis->unit;
  for (const analysis::GroupResult& group : analysis->groups) {
    if (!group.concentration || group.role == analysis::WellRole::Standard) continue;
    // Wells left out of the analysis are no source of its result.
    std::vector<int> sources;
    std::copy_if(group.wells.begin(), group.wells.end(), std::back_inserter(sources), [&](int w) {
      return std::find(group.excludedWells.begin(), group.excludedWells.end(), w) ==
             group.excludedWells.end();
    });
    out.calculated.push_back({group.name + " concentration", Description(group, analysis->fit),
                              *group.concentration, unit, std::move(sources)});
  }
  return out;
}
