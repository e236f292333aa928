#include "analysis_ui/shown_plate.h"

#include <span>

#include "analysis/analysis_workbook.h"

analysis::AnalysisOptions ChosenAnalysisOptions() {
  analysis::AnalysisOptions options;
  options.model = analysis::CurveModelFromName(AppSettings.Fit).value_or(options.model);
  options.weighting = analysis::WeightingFromName(AppSettings.Weight).value_or(options.weighting);
  return options;
}

analysis::PlateAnalysis AnalysePlate(const TPlateResult& plate,
                                     const analysis::PlateLayout& layout) {
  return analysis::AnalysePlate(std::span<const int32_t, kWells>(plate.nValue), layout,
                                ChosenAnalysisOptions());
}

bool SaveWorkbook(const std::string& path, const ShownPlate& shown,
                  const analysis::PlateLayout* layout, std::string* error) {
  analysis::WorkbookPlate sheet;
  sheet.plate = shown.plate;
  sheet.context = shown.context;
  if (layout != nullptr) sheet.analysis = AnalysePlate(shown.plate, *layout);
  return analysis::WriteAnalysisWorkbook(path, {sheet}, layout, error);
}
