#include "analysis_ui/shown_plate.h"

#include <span>

#include "analysis/analysis_workbook.h"
#include "analysis_ui/assay_in_use.h"

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
  return analysis::AnalysePlate(std::span<const int32_t, kWells>(plate.nValue), layout, options);
}

bool SaveWorkbook(const std::string& path, const ShownPlate& shown,
                  const analysis::PlateLayout* layout, std::string* error,
                  const std::vector<analysis::ExcludedWell>& excluded) {
  analysis::WorkbookPlate sheet;
  sheet.plate = shown.plate;
  sheet.context = shown.context;
  if (layout != nullptr) sheet.analysis = AnalysePlate(shown.plate, *layout, excluded);
  return analysis::WriteAnalysisWorkbook(path, {sheet}, layout, error);
}
