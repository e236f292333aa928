#include "analysis_ui/shown_plate.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <span>

#include "analysis/analysis_workbook.h"
#include "analysis_ui/assay_in_use.h"
#include "asm_export/asm_from_analysis.h"
#include "results/atomic_file.h"

analysis::AnalysisOptions ChosenAnalysisOptions() {
  if (const analysis::Assay* assay = AssayInUse(nullptr)) return assay->Options();
  analysis::AnalysisOptions options;
  options.model = analysis::CurveModelFromName(AppSettings.Fit).value_or(options.model);
  options.weighting = analysis::WeightingFromName(AppSettings.Weight).value_or(options.weighting);
  return options;
}

analysis::PlateAnalysis AnalysePlate(const TPlateResult& plate, const analysis::PlateLayout& layout,
                                     const std::vector<analysis::ExcludedWell>& excluded) {
  analysis::AnalysisOptions options = ChosenAnalysisOptions();
  options.excluded = excluded;
  return analysis::AnalysePlate(std::span<const int32_t, kWells>(plate.nValue), plate.bOverRange,
                                layout, options);
}

const analysis::PlateLayout* ShownLayout(const ShownPlate& shown,
                                         const analysis::PlateLayout* fallback) {
  return shown.assay ? &shown.assay->layout : fallback;
}

analysis::AnalysisOptions ShownAnalysisOptions(const ShownPlate& shown) {
  return shown.assay ? shown.assay->Options() : ChosenAnalysisOptions();
}

analysis::PlateAnalysis AnalyseShownPlate(const ShownPlate& shown,
                                          const analysis::PlateLayout& layout,
                                          const std::vector<analysis::ExcludedWell>& excluded) {
  if (!shown.assay) return AnalysePlate(shown.plate, layout, excluded);
  analysis::AnalysisOptions options = shown.assay->Options();
  options.excluded = excluded;
  return analysis::AnalysePlate(std::span<const int32_t, kWells>(shown.plate.nValue),
                                shown.plate.bOverRange, layout, options);
}

bool SaveWorkbook(const std::string& path, const ShownPlate& shown,
                  const analysis::PlateLayout* layout, std::string* error,
                  const std::vector<analysis::ExcludedWell>& excluded) {
  analysis::WorkbookPlate sheet;
  sheet.plate = shown.plate;
  sheet.context = shown.context;
  layout = ShownLayout(shown, layout);
  if (layout != nullptr) sheet.analysis = AnalyseShownPlate(shown, *layout, excluded);
  return analysis::WriteAnalysisWorkbook(path, {sheet}, layout, error);
}

namespace {

// plate-1.asm.json -> plate-1
std::string PlateIdOfFileName(const std::string& path) {
  std::string name = std::filesystem::path(path).filename().string();
  for (const char* suffix : {".asm.json", ".json"}) {
    const size_t at = name.size() - std::min(name.size(), std::strlen(suffix));
    if (name.compare(at, std::string::npos, suffix) == 0) return name.erase(at);
  }
  return name;
}

}  // namespace

bool SaveAsmDocument(const std::string& path, const ShownPlate& shown,
                     const analysis::PlateLayout* layout, std::string* error,
                     const std::vector<analysis::ExcludedWell>& excluded) {
  std::optional<analysis::PlateAnalysis> result;
  layout = ShownLayout(shown, layout);
  if (layout != nullptr) result = AnalyseShownPlate(shown, *layout, excluded);
  // The plate's own ID when it has one, else the file's name.
  const std::string plateId = !shown.plateId.empty() ? shown.plateId : PlateIdOfFileName(path);
  const AsmDocument document = BuildAsmDocument(
      AsmPlateOf(shown.plate, shown.context, plateId, layout, result ? &*result : nullptr));
  if (!document.ok) {
    *error = document.error;
    return false;
  }
  return WriteFileAtomically(path, document.json, error);
}
