#include "cli/kinetic_output.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>

#include "analysis/analysis_report.h"
#include "analysis/kinetics_output.h"
#include "analysis/plate_analysis.h"
#include "analysis/rate_response.h"
#include "cli/analysis_output.h"
#include "cli/kinetic_files.h"

namespace {

constexpr char kProgram[] = "platovix-cli: ";

}  // namespace

analysis::KineticRead KineticReadOf(const TPlateResult& plate, double seconds) {
  analysis::KineticRead read;
  read.seconds = seconds;
  std::copy(std::begin(plate.nValue), std::end(plate.nValue), read.values.begin());
  std::copy(std::begin(plate.bOverRange), std::end(plate.bOverRange), read.overRange.begin());
  return read;
}

bool KineticReadsOf(const std::vector<SavedPlate>& plates,
                    std::vector<analysis::KineticRead>* reads, std::string* error) {
  const bool elapsed = std::all_of(plates.begin(), plates.end(), [](const SavedPlate& p) {
    return p.context.elapsedSeconds.has_value();
  });
  reads->clear();
  for (size_t i = 0; i < plates.size(); ++i) {
    const SavedPlate& saved = plates[i];
    double seconds = 0;
    if (elapsed) {
      seconds = *saved.context.elapsedSeconds;
    } else {
      const auto completed = ReadCompletionTime(saved.plate, saved.context);
      const auto first = ReadCompletionTime(plates.front().plate, plates.front().context);
      if (!completed || !first) {
        *error =
            "read " + std::to_string(i + 1) + " has neither elapsedSeconds nor a completion time";
        return false;
      }
      seconds = std::chrono::duration<double>(*completed - *first).count();
    }
    if (!reads->empty() && seconds < reads->back().seconds) {
      *error = "read " + std::to_string(i + 1) + " is earlier than the read before it";
      return false;
    }
    reads->push_back(KineticReadOf(saved.plate, seconds));
  }
  return true;
}

std::optional<analysis::PlateAnalysis> RatesOf(const analysis::KineticAnalysis& result,
                                               const CliOptions& options) {
  if (!options.assay || !options.assay->rateResponse || !options.layout ||
      result.options.mode != analysis::KineticMode::Rate) {
    return std::nullopt;
  }
  return analysis::AnalyseRates(result, *options.layout, options.analysis);
}

std::string FormatKinetics(const std::vector<analysis::KineticRead>& reads,
                           const CliOptions& options, std::ostream& err, bool* qcFailed) {
  const analysis::PlateLayout* layout = options.layout ? &*options.layout : nullptr;
  const analysis::KineticAnalysis result =
      analysis::AnalyseKinetics(reads, layout, *options.kinetic);
  std::optional<analysis::PlateAnalysis> rates = RatesOf(result, options);
  if (rates) *qcFailed = ReportVerdict(*rates, err) || *qcFailed;
  if (options.format == ResultFormat::Json) {
    return analysis::KineticsJson(result, rates ? &*rates : nullptr).dump(2) + "\n";
  }
  const char separator = options.format == ResultFormat::Tsv ? '\t' : (options.comma ? ';' : ',');
  std::string text = analysis::KineticsCsv(result, reads, separator, options.comma);
  if (rates) text += "\n" + analysis::AnalysisCsv(*rates, options.comma);
  return text;
}

int RunKineticAnalyse(const CliOptions& options, const CliIo& io) {
  if (options.plateFiles.size() != 1) {
    io.err << kProgram << "analyse --kinetic takes one series file\n";
    return kExitUsage;
  }
  const std::string& path = options.plateFiles.front();
  const SavedPlates saved = ReadResultFile(path);
  if (!saved.ok) {
    io.err << kProgram << saved.error << '\n';
    return kExitFailure;
  }
  std::vector<analysis::KineticRead> reads;
  std::string error;
  if (!KineticReadsOf(saved.plates, &reads, &error)) {
    io.err << kProgram << path << ": " << error << '\n';
    return kExitFailure;
  }
  bool qcFailed = false;
  if (options.xlsx) {
    // The verdict as the text outputs give it; the numbers go to the workbook.
    const std::optional<analysis::PlateAnalysis> rates =
        RatesOf(analysis::AnalyseKinetics(reads, options.layout ? &*options.layout : nullptr,
                                          *options.kinetic),
                options);
    if (rates) qcFailed = ReportVerdict(*rates, io.err);
    if (!WriteKineticWorkbook(reads, options, &error)) {
      io.err << kProgram << "cannot write " << options.output << ": " << error << '\n';
      return kExitFailure;
    }
  } else {
    const std::string text = FormatKinetics(reads, options, io.err, &qcFailed);
    if (options.output.empty()) {
      io.out << text << std::flush;
    } else if (!WriteFileAtomically(options.output, text, &error)) {
      io.err << kProgram << "cannot write " << options.output << ": " << error << '\n';
      return kExitFailure;
    }
  }
  if (!options.reportPath.empty()) {
    analysis::KineticRunFacts facts;
    const ResultContext& first = saved.plates.front().context;
    if (first.started) facts.started = FormatIsoLocalTime(*first.started);
    // A saved series knows its reads' times, not the interval set: their mean spacing.
    if (reads.size() > 1) {
      facts.intervalSeconds =
          (reads.back().seconds - reads.front().seconds) / static_cast<double>(reads.size() - 1);
    }
    if (!WriteKineticReport(reads, options, facts, &error)) {
      io.err << kProgram << "cannot write " << options.reportPath << ": " << error << '\n';
      return kExitFailure;
    }
  }
  return qcFailed && options.failOnQc ? kExitQcFailed : kExitSuccess;
}
