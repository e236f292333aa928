// The plate a preview shows, as the analysis windows and the files take
// it: the values, where they came from, and the analysis with the layout
// in use and the fit chosen in the settings.
#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "analysis/plate_analysis.h"
#include "results/result_file.h"
#include "results/shared_state.h"

struct ShownPlate {
  TPlateResult plate;
  ResultContext context;
  QString fileName;  // what the preview's Save suggests, e.g. plate-...-450nm.csv
};

// Fit and weighting as [Analysis] Fit= and Weight= say; with an assay in
// use, its model, weighting and QC rules.
analysis::AnalysisOptions ChosenAnalysisOptions();

analysis::PlateAnalysis AnalysePlate(const TPlateResult& plate, const analysis::PlateLayout& layout,
                                     const std::vector<analysis::ExcludedWell>& excluded = {});

// The workbook: sheet Plate, and Layout and Analysis with the layout in use
// (saying that there is none without one). False with the reason.
bool SaveWorkbook(const std::string& path, const ShownPlate& shown,
                  const analysis::PlateLayout* layout, std::string* error,
                  const std::vector<analysis::ExcludedWell>& excluded = {});

// The plate as an Allotrope ASM document, named after the file, with the
// layout's names and concentrations when there is a layout. False with the
// reason.
bool SaveAsmDocument(const std::string& path, const ShownPlate& shown,
                     const analysis::PlateLayout* layout, std::string* error,
                     const std::vector<analysis::ExcludedWell>& excluded = {});
