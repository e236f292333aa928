#include "cli/result_output.h"

#include "cli/analysis_output.h"
#include "results/result_text.h"

std::string FormatRead(const TPlateResult& plate, const ResultContext& context,
                       const CliOptions& options) {
  // With a layout, JSON and CSV carry the analysis; the clipboard text
  // stays as it is unless only the analysis is wanted.
  if (options.layout && (options.format != ResultFormat::Tsv || options.analysisOnly)) {
    return FormatReadWithAnalysis(
        plate, context,
        analysis::AnalysePlate(plate.nValue, plate.bOverRange, *options.layout, options.analysis),
        options);
  }
  switch (options.format) {
    case ResultFormat::Json: {
      std::string json = BuildResultJson(plate, context);
      if (!json.empty() && json.back() == '\n') json.pop_back();  // the series adds its own
      return json;
    }
    case ResultFormat::Csv:
      return BuildResultCsv(plate, context, options.comma, !options.noHeader);
    case ResultFormat::Tsv:
      break;
  }
  // The clipboard text is built from the program's records; the command
  // line, not the settings file, decides its form here.
  PlateResult = plate;
  AppSettings.bDelimComma = options.comma ? 1 : 0;
  AppSettings.bIncludeHeader = options.noHeader ? 0 : 1;
  return BuildResultText();
}

ResultOutput::ResultOutput(const CliOptions& options, std::ostream& out)
    : options_(options), out_(out), series_(options.repeat > 0) {}

// Reads of a series are set apart by a blank line (TSV, CSV) or are the
// items of one JSON array.
std::string ResultOutput::Separator() const {
  switch (options_.format) {
    case ResultFormat::Json:
      return ",\n";
    case ResultFormat::Csv:
      return "\n";
    case ResultFormat::Tsv:
      break;
  }
  return "\r\n";  // the clipboard text's own line end
}

std::string ResultOutput::Text() const {
  const bool json = options_.format == ResultFormat::Json;
  std::string text = series_ && json ? "[\n" : "";
  for (size_t i = 0; i < reads_.size(); ++i) {
    if (i > 0) text += Separator();
    text += reads_[i];
  }
  if (json) text += series_ ? "\n]\n" : "\n";
  return text;
}

bool ResultOutput::Add(const std::string& read, std::string* error) {
  reads_.push_back(read);
  if (!options_.output.empty()) {
    if (WriteFileAtomically(options_.output, Text(), error)) return true;
    out_ << Text() << std::flush;
    finished_ = true;  // stdout now holds the whole output
    return false;
  }
  const bool json = options_.format == ResultFormat::Json;
  if (reads_.size() > 1) {
    out_ << Separator();
  } else if (series_ && json) {
    out_ << "[\n";
  }
  out_ << read;
  if (json && !series_) out_ << '\n';
  out_ << std::flush;
  return true;
}

void ResultOutput::Finish() {
  if (finished_ || reads_.empty()) return;
  finished_ = true;
  if (options_.output.empty() && series_ && options_.format == ResultFormat::Json) {
    out_ << "\n]\n" << std::flush;
  }
}
