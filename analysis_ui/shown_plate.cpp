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
  analysis::AnalysisOptions options =
      shown.assay ? shown.assay->Options() : ChosenAnalysisOptions();
  // A read analysed again keeps the model and weighting it was analysed with.
  options.model = analysis::CurveModelFromName(shown.model).value_or(options.model);
  options.weighting = analysis::WeightingFromName(shown.weighting).value_or(options.weighting);
  return options;
}

std::vector<analysis::ExcludedWell> ShownExclusions(const ShownPlate& shown) {
  std::vector<analysis::ExcludedWell> wells;
  for (const ExcludedWellNote& note : shown.excluded) wells.push_back({note.well, note.reason});
  return wells;
}

ResultContext ShownFileContext(const ShownPlate& shown) {
  ResultContext context = shown.context;
  context.record.plateId = shown.plateId;
  if (shown.status != "completed") {
    context.record.status = shown.status;
    context.record.statusMessage = shown.statusMessage;
  }
  context.record.excluded = shown.excluded;
  return context;
}

analysis::PlateAnalysis AnalyseShownPlate(const ShownPlate& shown,
                                          const analysis::PlateLayout& layout,
                                          const std::vector<analysis::ExcludedWell>& excluded) {
  analysis::AnalysisOptions options = ShownAnalysisOptions(shown);
  options.excluded = excluded.empty() ? ShownExclusions(shown) : excluded;
  return analysis::AnalysePlate(std::span<const int32_t, kWells>(shown.plate.nValue),
                                shown.plate.bOverRange, layout, options);
}

bool SaveWorkbook(const std::string& path, const ShownPlate& shown,
                  const analysis::PlateLayout* layout, std::string* error,
                  const std::vector<analysis::ExcludedWell>& excluded) {
  analysis::WorkbookPlate sheet;
  sheet.plate = shown.plate;
  sheet.context = ShownFileContext(shown);
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
  const AsmDocument document = BuildAsmDocument(AsmPlateOf(
      shown.plate, ShownFileContext(shown), plateId, layout, result ? &*result : nullptr));
  if (!document.ok) {
    *error = document.error;
    return false;
  }
  return WriteFileAtomically(path, document.json, error);
}
