#include "report/report_input.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include <platovix_version.h>

#include "archive/archive_url.h"
#include "archive/witness.h"
#include "results/result_file_reader.h"

PlateReport MakePlateReport(const ReportInput& input) {
  PlateReport report;
  report.title = !input.title.empty() ? input.title : input.assay ? input.assay->name : "";
  report.plateId = input.plateId;
  report.operatorName = input.operatorName;
  report.programVersion = input.programVersion;
  report.plate = input.plate;
  report.context = input.context;
  report.archiveUuid = input.archiveUuid;
  report.archiveHash = input.archiveHash;
  report.chainHead = ChainHeadText(input.archiveName);
  report.archiveName = ArchiveShortName(input.archiveName);
  report.decimalComma = input.decimalComma;
  report.status = input.status;
  report.statusMessage = input.statusMessage;
  report.layoutName = input.assay ? input.assay->name : input.layoutName;
  for (const ExcludedWellNote& e : input.excluded) {
    report.exclusions.push_back(
        {"well excluded", e.who, e.when, e.reason, analysis::WellName(e.well)});
  }
  report.comments = input.comments;
  // An aborted or failed read has no data to analyse.
  const analysis::PlateLayout* layout = input.assay    ? &input.assay->layout
                                        : input.layout ? &*input.layout
                                                       : nullptr;
  if (layout == nullptr || input.status != "completed") return report;
  analysis::AnalysisOptions options = input.assay ? input.assay->Options() : input.options;
  options.model = analysis::CurveModelFromName(input.model).value_or(options.model);
  options.weighting = analysis::WeightingFromName(input.weighting).value_or(options.weighting);
  for (const ExcludedWellNote& e : input.excluded) options.excluded.push_back({e.well, e.reason});
  report.layout = *layout;
  report.analysis =
      analysis::AnalysePlate(input.plate.nValue, input.plate.bOverRange, *layout, options);
  return report;
}

KineticReport MakeKineticReport(KineticReportInput input) {
  KineticReport report;
  report.assayName = std::move(input.assayName);
  report.title = !input.title.empty() ? std::move(input.title) : report.assayName;
  report.plateId = std::move(input.plateId);
  report.operatorName = std::move(input.operatorName);
  report.programVersion = std::string("Platovix ") + PLATOVIX_VERSION;
  report.started = std::move(input.run.started);
  report.intervalSeconds = input.run.intervalSeconds;
  report.plannedReads = input.run.plannedReads;
  report.recordUuid = std::move(input.run.recordUuid);
  report.archiveName = ArchiveShortName(input.run.archiveName);
  report.chainHead = ChainHeadText(input.run.archiveName);
  report.status = std::move(input.run.status);
  report.statusMessage = std::move(input.run.message);
  report.analysis = std::move(input.analysis);
  report.reads = std::move(input.reads);
  report.rates = std::move(input.rates);
  report.decimalComma = input.decimalComma;
  return report;
}

// What fits a footer: a file's own name, a lab archive's URL without user
// and password.
std::string ArchiveShortName(const std::string& name) {
  if (archive::KindOfArchive(name) != archive::ArchiveKind::Sqlite)
    return archive::ShownLocation(name);
  return name.substr(name.rfind('/') + 1);
}

std::string ChainHeadText(const std::string& archiveName) {
  if (archiveName.empty()) return "not archived";
  archive::ChainHead head;
  if (!archive::ReadWitness(archiveName, &head)) return "no witness kept";
  return std::to_string(head.seq) + " \u00b7 " + head.hash.substr(0, 16) + "\u2026";
}

ReportNote CommentNote(const archive::StateNote& note) {
  return {"comment", note.who, note.when, note.why, note.text};
}

void TakeReadState(const archive::ReadState& state, ReportInput* input) {
  const archive::PlateRead& read = state.read;
  input->plate = {};
  std::copy(read.values.begin(), read.values.end(), input->plate.nValue);
  input->plate.nPrimary = read.primaryNm;
  input->plate.nReference = read.referenceNm;
  input->plate.bValid = state.status == archive::ReadStatus::Completed ? 1 : 0;
  input->context = {read.readerFamily, read.readerId, std::nullopt, std::nullopt};
  std::chrono::system_clock::time_point when;
  if (ParseIsoTime(read.started, &when)) input->context.started = when;
  if (ParseIsoTime(read.completed, &when)) input->context.completed = when;
  input->context.record = archive::RecordNotesOf(state);
  input->plateId = state.plateId;
  input->operatorName = read.operatorName;
  input->archiveUuid = read.uuid;
  input->archiveHash = archive::ContentHash(read);
  if (!read.programVersion.empty()) input->programVersion = "Platovix " + read.programVersion;
  input->status = archive::StatusName(state.status);
  input->statusMessage = read.message;
  input->model = state.model;
  input->weighting = state.weighting;
  input->excluded = input->context.record.excluded;
  input->comments.clear();
  for (const archive::StateNote& note : state.comments)
    input->comments.push_back(CommentNote(note));
  if (!read.assayJson.empty()) {
    analysis::AssayParse parsed = analysis::ParseAssay(read.assayJson);
    if (parsed.ok) input->assay = std::move(parsed.assay);
  }
}
