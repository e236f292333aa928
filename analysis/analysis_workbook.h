// Plates and their analysis as an Excel workbook (libxlsxwriter): sheet
// "Plate" (each plate's metadata and its grid), "Layout" (the layout's
// blocks as in the layout file) and "Analysis" (the fit and the results
// table). Numbers are stored as numbers, so a spreadsheet computes with them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/plate_analysis.h"
#include "results/result_file.h"

namespace analysis {

struct WorkbookPlate {
  std::string title;  // above the plate's block, e.g. its file name; may be empty
  TPlateResult plate;
  ResultContext context;
  std::optional<PlateAnalysis> analysis;  // none without a layout
};

// Writes the workbook, replacing path only with a complete file. layout may
// be null: the Layout and Analysis sheets then say that there is none.
// False with a one-line reason.
bool WriteAnalysisWorkbook(const std::string& path, const std::vector<WorkbookPlate>& plates,
                           const PlateLayout* layout, std::string* error);

}  // namespace analysis
