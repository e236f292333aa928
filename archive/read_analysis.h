// The assay and the analysis a read is stored with: the record shows the
// plate as it was judged when it was read, whichever front end read it.
#pragma once

#include "analysis/assay.h"
#include "analysis/plate_analysis.h"
#include "archive/plate_read.h"

namespace archive {

// Name and JSON of the assay, when there is one.
void RecordAssay(const analysis::Assay& assay, PlateRead* read);

// The read's values analysed with layout and options: analysisJson and,
// with QC rules, the verdict.
void RecordAnalysis(const analysis::PlateLayout& layout, const analysis::AnalysisOptions& options,
                    PlateRead* read);

}  // namespace archive
