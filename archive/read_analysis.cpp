#include "archive/read_analysis.h"

#include "analysis/analysis_report.h"

namespace archive {

void RecordAssay(const analysis::Assay& assay, PlateRead* read) {
  read->assayName = assay.name;
  read->assayJson = analysis::WriteAssay(assay);
}

void RecordAnalysis(const analysis::PlateLayout& layout, const analysis::AnalysisOptions& options,
                    PlateRead* read) {
  const analysis::PlateAnalysis analysed =
      analysis::AnalysePlate(read->values, read->overRange, layout, options);
  // Group names come from the user's files: a stray byte is replaced, not thrown at.
  read->analysisJson = analysis::AnalysisJson(analysed).dump(
      -1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  read->verdict = analysed.qc ? analysed.qc->Verdict() : "";
}

}  // namespace archive
