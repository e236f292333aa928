#include "cli/cli_analysis_options.h"

#include <cstdlib>

bool TakeAnalysisOption(const std::string& name, const std::function<std::string()>& value,
                        CliOptions& options, std::string* error) {
  if (name == "--layout") {
    options.layoutPath = value();
    if (options.layoutPath.empty()) *error = "--layout needs a file name";
  } else if (name == "--fit") {
    const std::string text = value();
    const auto model = analysis::CurveModelFromName(text);
    if (model) options.analysis.model = *model;
    if (!model) *error = "--fit must be linear, 4pl or 5pl, not '" + text + "'";
  } else if (name == "--weight") {
    const std::string text = value();
    const auto weighting = analysis::WeightingFromName(text);
    if (weighting) options.analysis.weighting = *weighting;
    if (!weighting) *error = "--weight must be none, 1/y or 1/y2, not '" + text + "'";
  } else if (name == "--analysis-only") {
    options.analysisOnly = true;
  } else if (name == "--assay") {
    options.assayPath = value();
    if (options.assayPath.empty()) *error = "--assay needs a file name";
  } else if (name == "--fail-on-qc") {
    options.failOnQc = true;
  } else if (name == "--kinetic") {
    const std::string text = value();
    const auto mode = analysis::KineticModeFromName(text);
    if (mode) options.kinetic = analysis::KineticOptions{.mode = *mode};
    if (!mode) *error = "--kinetic must be rate or growth, not '" + text + "'";
  } else if (name == "--window") {
    const std::string text = value();
    char* end = nullptr;
    const long window = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || window < 2 || window > 1000) {
      *error = "--window must be 2 to 1000 reads, not '" + text + "'";
    } else {
      options.kineticWindow = static_cast<int>(window);
    }
  } else {
    return false;
  }
  return true;
}

namespace {

// The assay gives what the command line leaves open; what it names wins.
std::string TakeAssay(CliOptions& options, const std::function<bool(const char*)>& seen) {
  const analysis::AssayParse parse = analysis::ReadAssayFile(options.assayPath);
  if (!parse.ok) return parse.message;
  const analysis::Assay& assay = parse.assay;
  options.assay = assay;
  analysis::AnalysisOptions chosen = assay.Options();
  if (seen("--fit")) chosen.model = options.analysis.model;
  if (seen("--weight")) chosen.weighting = options.analysis.weighting;
  options.analysis = chosen;
  if (!seen("--layout")) options.layout = assay.layout;
  if (!seen("--primary")) options.primary = assay.reading.primary;
  if (!seen("--reference")) options.reference = assay.reading.reference.value_or(0);
  if (!assay.reading.askForPlate) options.yes = true;
  if (assay.kinetic && !seen("--kinetic")) options.kinetic = assay.kinetic;
  if (assay.kinetic && seen("--kinetic")) {
    options.kinetic = analysis::KineticOptions{options.kinetic->mode, assay.kinetic->window,
                                               assay.kinetic->r2Min};
  }
  if (assay.reading.kinetic && options.command == CliCommand::Measure) {
    if (!seen("--repeat")) options.repeat = assay.reading.kinetic->reads;
    if (!seen("--every")) options.everySeconds = assay.reading.kinetic->intervalSeconds;
  }
  return "";
}

// --kinetic and --window: which commands they belong to and what they need.
std::string CheckKineticOptions(CliOptions& options, const std::function<bool(const char*)>& seen) {
  const bool measure = options.command == CliCommand::Measure;
  const bool analyse = options.command == CliCommand::Analyse;
  for (const char* name : {"--kinetic", "--window"}) {
    if (seen(name) && !measure && !analyse) {
      return std::string(name) + " belongs to measure and analyse";
    }
  }
  if (options.kineticWindow && !options.kinetic) return "--window needs --kinetic rate|growth";
  if (!options.kinetic || (!measure && !analyse)) return "";
  if (options.kineticWindow) options.kinetic->window = *options.kineticWindow;
  if (options.asmFormat) return "--kinetic has no meaning for asm";
  if (options.analysisOnly) return "--analysis-only has no meaning with --kinetic";
  if (measure && options.repeat < 1)
    return "a kinetic analysis needs a series: --repeat N --every S";
  if (measure && options.output.empty()) {
    return "a kinetic analysis writes the series to -o FILE and itself to stdout: give -o FILE";
  }
  return "";
}

}  // namespace

std::string CheckAnalysisOptions(CliOptions& options,
                                 const std::function<bool(const char*)>& seen) {
  const bool measure = options.command == CliCommand::Measure;
  const bool analyse = options.command == CliCommand::Analyse;
  const bool report = options.command == CliCommand::Report;
  const bool assay = seen("--assay") && (measure || analyse || report);  // archive list: a name
  for (const char* name :
       {"--layout", "--fit", "--weight", "--analysis-only", "--assay", "--fail-on-qc"}) {
    if (!measure && !analyse && !report && seen(name) &&
        !(options.command == CliCommand::Archive && std::string(name) == "--assay")) {
      return std::string(name) + " belongs to measure and analyse";
    }
  }
  for (const char* name : {"--fit", "--weight", "--analysis-only"}) {
    if (seen(name) && !seen("--layout") && !assay) {
      return std::string(name) + " needs --layout FILE";
    }
  }
  if (seen("--fail-on-qc") && !assay) return "--fail-on-qc needs --assay FILE";
  if (options.xlsx && !analyse && !measure) return "--format xlsx belongs to analyse";
  if (analyse) {
    for (const char* name : {"--primary", "--reference", "--no-header", "--repeat", "--every"}) {
      if (seen(name)) return std::string(name) + " belongs to measure";
    }
    if (!seen("--layout") && !assay && !seen("--kinetic")) return "analyse needs --layout FILE";
    if (seen("--format") && !options.xlsx && options.format == ResultFormat::Tsv) {
      return "analyse writes json, csv or xlsx, not tsv";
    }
    if (!seen("--format")) options.format = ResultFormat::Json;
    if (options.xlsx && options.output.empty()) return "--format xlsx needs -o FILE";
    if (options.xlsx && options.analysisOnly) return "--analysis-only has no meaning for xlsx";
    if (seen("--plate-id")) return "--plate-id belongs to measure";
    if (options.comma && (options.xlsx || options.format == ResultFormat::Json)) {
      return "--comma has no meaning for json or xlsx";
    }
  }
  if (assay) {
    if (const std::string error = TakeAssay(options, seen); !error.empty()) return error;
  }
  if (options.asmFormat && options.analysisOnly) return "--analysis-only has no meaning for asm";
  if (!options.layoutPath.empty()) {
    const analysis::LayoutParse parse = analysis::ReadLayoutFile(options.layoutPath);
    if (!parse.ok) return parse.error;
    options.layout = parse.layout;
  }
  // A series' workbook and report: only with its analysis, which an assay may ask for.
  if (options.xlsx && measure && !options.kinetic) return "--format xlsx belongs to analyse";
  if (analyse && !options.kinetic) {
    for (const char* name : {"--report", "--operator", "--title"}) {
      if (seen(name)) return std::string(name) + " belongs to measure";
    }
  }
  return CheckKineticOptions(options, seen);
}
