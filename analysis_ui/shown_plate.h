// The plate a preview shows, as the analysis windows and the files take
// it: the values, where they came from, and the analysis with the layout
// in use and the fit chosen in the settings.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "analysis/assay.h"
#include "analysis/plate_analysis.h"
#include "report/plate_report.h"
#include "results/result_file.h"
#include "results/shared_state.h"

struct ShownPlate {
  TPlateResult plate;
  ResultContext context;
  QString fileName;  // what the preview's Save suggests, e.g. plate-...-450nm.csv
  // The archive's record of the plate, for the reports; empty for a plate
  // that is not archived (one opened from a file, or with the archive off).
  std::string plateId{};
  std::string operatorName{};  // empty: whoever runs the program now
  std::string archiveUuid{};
  std::string archiveHash{};
  // The assay the plate was analysed with when it was read: a plate from the
  // archive is analysed with it, not with the one in use now.
  std::optional<analysis::Assay> assay{};
  // "completed", "aborted" or "failed": an aborted or failed read is shown
  // as such, never as data.
  std::string status{"completed"};
  std::string statusMessage{};
  // Wells left out of the analysis after the read (who, when, why) and the
  // comments on an archived read, oldest first.
  std::vector<ExcludedWellNote> excluded{};
  std::vector<ReportNote> comments{};
  // The analysis in force when the read was analysed again without an
  // assay: its model and weighting ("4pl", "1/y"); empty: as chosen now.
  std::string model{};
  std::string weighting{};
};

// The wells the shown plate's analysis leaves out.
std::vector<analysis::ExcludedWell> ShownExclusions(const ShownPlate& shown);

// The context its files are written with: plate ID, status and excluded
// wells beside the reader and times.
ResultContext ShownFileContext(const ShownPlate& shown);

// The plate's own assay's layout when it has one, else fallback (the one in use).
const analysis::PlateLayout* ShownLayout(const ShownPlate& shown,
                                         const analysis::PlateLayout* fallback);
// The plate's own assay's options when it has one, else ChosenAnalysisOptions().
analysis::AnalysisOptions ShownAnalysisOptions(const ShownPlate& shown);
// With no wells given, the shown plate's own exclusions.
analysis::PlateAnalysis AnalyseShownPlate(const ShownPlate& shown,
                                          const analysis::PlateLayout& layout,
                                          const std::vector<analysis::ExcludedWell>& excluded = {});

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
