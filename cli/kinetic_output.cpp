#include "cli/kinetic_output.h"

#include <algorithm>
#include <chrono>

#include "analysis/kinetics_output.h"

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

std::string FormatKinetics(const std::vector<analysis::KineticRead>& reads,
                           const CliOptions& options) {
  const analysis::PlateLayout* layout = options.layout ? &*options.layout : nullptr;
  const analysis::KineticAnalysis result =
      analysis::AnalyseKinetics(reads, layout, *options.kinetic);
  switch (options.format) {
    case ResultFormat::Json:
      return analysis::KineticsJson(result).dump(2) + "\n";
    case ResultFormat::Csv:
      return analysis::KineticsCsv(result, reads, options.comma ? ';' : ',', options.comma);
    case ResultFormat::Tsv:
      break;
  }
  return analysis::KineticsCsv(result, reads, '\t', options.comma);
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
  const std::string text = FormatKinetics(reads, options);
  if (options.output.empty()) {
    io.out << text << std::flush;
  } else if (!WriteFileAtomically(options.output, text, &error)) {
    io.err << kProgram << "cannot write " << options.output << ": " << error << '\n';
    return kExitFailure;
  }
  return kExitSuccess;
}
