#include "cli/analysis_output.h"

#include "analysis/analysis_report.h"
#include "results/csv_table.h"
#include "results/result_text.h"

namespace {

using Json = nlohmann::ordered_json;

std::string JsonText(const Json& json, int indent) {
  // Names come from a layout file in any encoding: never throw on them.
  const std::string text = json.dump(2, ' ', false, Json::error_handler_t::replace);
  std::string indented;
  for (char c : text) {
    indented += c;
    if (c == '\n') indented.append(static_cast<size_t>(indent), ' ');
  }
  return indented;
}

// The plate's own JSON object as the result files hold it, with "file"
// first and "analysis" last; no newline at the end.
std::string PlateJson(const TPlateResult& plate, const ResultContext& context, const Json& analysis,
                      const std::string& file) {
  std::string json = BuildResultJson(plate, context);
  json.erase(json.rfind('}'));  // "...]\n"
  if (!file.empty()) json.insert(2, "  \"file\": " + Json(file).dump() + ",\n");
  json.insert(json.size() - 1, ",\n  \"analysis\": " + JsonText(analysis, 2));
  return json + "}";
}

}  // namespace

std::string FormatReadWithAnalysis(const TPlateResult& plate, const ResultContext& context,
                                   const analysis::PlateAnalysis& result, const CliOptions& options,
                                   const std::string& file) {
  const bool only = options.analysisOnly;
  switch (options.format) {
    case ResultFormat::Json: {
      const Json analysis = analysis::AnalysisJson(result);
      if (!only) return PlateJson(plate, context, analysis, file);
      Json object = Json::object();
      if (!file.empty()) object["file"] = file;
      object["analysis"] = analysis;
      return JsonText(object, 0);
    }
    case ResultFormat::Csv: {
      const char sep = options.comma ? ';' : ',';
      std::string csv =
          file.empty() ? "" : "file" + std::string(1, sep) + CsvCellText(file, sep) + "\n";
      if (!only) csv += BuildResultCsv(plate, context, options.comma, !options.noHeader) + "\n";
      return csv + analysis::AnalysisCsv(result, options.comma);
    }
    case ResultFormat::Tsv:
      break;
  }
  return analysis::ResultsTableText(result, options.comma);
}

bool ReportVerdict(const analysis::PlateAnalysis& result, std::ostream& err,
                   const std::string& file) {
  if (!result.qc) return false;
  err << "platovix-cli: " << (file.empty() ? "" : file + ": ") << "QC " << result.qc->Verdict()
      << '\n';
  for (const std::string& line : result.qc->FailureLines()) err << "  " << line << '\n';
  return !result.qc->passed;
}

bool ReportVerdict(const TPlateResult& plate, const CliOptions& options, std::ostream& err,
                   const std::string& file) {
  if (!options.assay || !options.layout) return false;
  return ReportVerdict(
      analysis::AnalysePlate(plate.nValue, plate.bOverRange, *options.layout, options.analysis),
      err, file);
}
