#include "cli/kinetic_run_record.h"

#include <chrono>

#include "analysis/rate_response.h"
#include "archive/archive_store.h"
#include "cli/archive_config.h"
#include "cli/cli_run.h"
#include "cli/kinetic_output.h"
#include "results/result_file.h"

KineticRunRecorder::KineticRunRecorder(const CliOptions& options) : options_(options) {
  run_.uuid = archive::NewUuid();
  run_.plateId = options.plateId;
  run_.operatorName = archive::LoginName();
  run_.host = archive::HostName();
  run_.plannedReads = options.repeat;
  run_.intervalSeconds = options.everySeconds;
  if (options.assay) run_.assayName = options.assay->name;
}

void KineticRunRecorder::Add(const archive::PlateRead& read, double elapsedSeconds) {
  if (run_.reads.empty()) {
    run_.started = read.started;
    run_.readerFamily = read.readerFamily;
    run_.readerId = read.readerId;
    run_.assayName = read.assayName;
    run_.assayJson = read.assayJson;
  }
  run_.reads.push_back({read.uuid, elapsedSeconds, read.started, read.completed});
}

bool KineticRunRecorder::Finish(int exitCode, const std::string& message,
                                const std::vector<analysis::KineticRead>& series,
                                std::ostream& err) {
  run_.completed = FormatIsoLocalTime(std::chrono::system_clock::now());
  run_.status = exitCode == kExitSuccess   ? archive::ReadStatus::Completed
                : exitCode == kExitAborted ? archive::ReadStatus::Aborted
                                           : archive::ReadStatus::Failed;
  if (run_.status != archive::ReadStatus::Completed) run_.message = message;
  if (!series.empty() && options_.kinetic) {
    const analysis::PlateLayout* layout = options_.layout ? &*options_.layout : nullptr;
    const analysis::KineticAnalysis kinetics =
        analysis::AnalyseKinetics(series, layout, *options_.kinetic);
    const std::optional<analysis::PlateAnalysis> rates = RatesOf(kinetics, options_);
    run_.analysisJson = analysis::KineticsJson(kinetics, rates ? &*rates : nullptr).dump();
  }
  const archive::StoreOutcome outcome = archive::StoreRun(ArchiveConfigFor(options_), run_);
  for (const std::string& note : outcome.messages) err << "platovix-cli: archive: " << note << '\n';
  if (!outcome.warning.empty()) err << "platovix-cli: warning: " << outcome.warning << '\n';
  archive_ = outcome.archive;
  if (outcome.stored || outcome.spooled) err << "platovix-cli: run record " << run_.uuid << '\n';
  return outcome.stored || outcome.spooled;
}
