// A kinetic series and its analysis as an Excel workbook: sheet "Series"
// (one row per read: its number, the elapsed seconds, then one column per
// well in OD as read) and sheet "Kinetics" (the per-well table of the mode,
// the columns of the CSV). With an assay whose response is the rate also
// the ordinary "Layout" and "Analysis" sheets of the rates.
#pragma once

#include <string>
#include <vector>

#include "analysis/kinetics.h"
#include "analysis/plate_analysis.h"

namespace analysis {

// rates: the rates' analysis, or null. False with a one-line reason; path
// is replaced only by a complete file.
bool WriteKineticsWorkbook(const std::string& path, const KineticAnalysis& analysis,
                           const std::vector<KineticRead>& reads, const PlateLayout* layout,
                           const PlateAnalysis* rates, std::string* error);

}  // namespace analysis
