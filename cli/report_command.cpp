#include "cli/report_command.h"

#include <filesystem>
#include <memory>

#include "analysis/assay.h"
#include "cli/archive_reading.h"
#include "results/result_file_reader.h"

#ifdef PLATOVIX_WITH_REPORT
#include <platovix_version.h>

#include "cli/offscreen_app.h"
#include "report/plate_report.h"
#include "report/report_input.h"
#endif

namespace {

constexpr char kProgram[] = "platovix-cli: ";

}  // namespace

bool WriteReadReport(const TPlateResult& plate, const ResultContext& context,
                     const CliOptions& options, std::string* error,
                     const archive::PlateRead* record, const std::string& archiveName) {
  if (record == nullptr)
    return WritePlateReportFile(plate, context, options, options.reportPath, error);
  const archive::ReadState state = archive::CurrentState(*record, {});
  return WritePlateReportFile(plate, context, options, options.reportPath, error, &state,
                              archiveName);
}

#ifdef PLATOVIX_WITH_REPORT

bool WritePlateReportFile(const TPlateResult& plate, const ResultContext& context,
                          const CliOptions& options, const std::string& path, std::string* error,
                          const archive::ReadState* state, const std::string& archiveName) {
  const std::unique_ptr<QGuiApplication> app = OffscreenGuiApplication();
  ReportInput input;
  input.programVersion = std::string("Platovix ") + PLATOVIX_VERSION;
  input.plateId = options.plateId;
  input.operatorName = options.operatorName;
  if (state != nullptr) TakeReadState(*state, &input);
  // --operator names who made the read (the record keeps the login name).
  if (!options.operatorName.empty()) input.operatorName = options.operatorName;
  input.plate = plate;
  input.context = context;
  if (state != nullptr) input.context.record = archive::RecordNotesOf(*state);
  input.title = options.title;
  input.decimalComma = options.comma;
  // What the options name analyses: --assay, --layout, or the stored assay.
  input.assay = options.assay;
  input.layout = options.layout;
  input.layoutName = std::filesystem::path(options.layoutPath).filename().string();
  input.options = options.analysis;
  input.archiveName = archiveName;
  QString reason;
  if (WritePlateReportPdf(MakePlateReport(input), QString::fromStdString(path), &reason)) {
    return true;
  }
  *error = reason.toStdString();
  return false;
}

#else

bool WritePlateReportFile(const TPlateResult&, const ResultContext&, const CliOptions&,
                          const std::string&, std::string* error, const archive::ReadState*,
                          const std::string&) {
  *error = "this build of platovix-cli has no plate report (built without Qt)";
  return false;
}

#endif

namespace {

// The analysis a record is reported with: what --assay or --layout name,
// else the assay it was read with. False with the reason when the stored
// assay cannot be read or no longer gives the stored verdict.
bool TakeStoredAssay(const archive::PlateRead& read, const TPlateResult& plate, CliOptions* options,
                     std::string* error) {
  if (options->layout || read.assayJson.empty()) return true;
  const analysis::AssayParse parse = analysis::ParseAssay(read.assayJson);
  if (!parse.ok) {
    *error = "the assay stored with " + read.uuid + " cannot be read: " + parse.error.Text();
    return false;
  }
  options->assay = parse.assay;
  options->layout = parse.assay.layout;
  options->analysis = parse.assay.Options();
  if (read.verdict.empty() || !plate.bValid) return true;
  const analysis::PlateAnalysis analysed =
      analysis::AnalysePlate(plate.nValue, plate.bOverRange, *options->layout, options->analysis);
  const std::string verdict = analysed.qc ? analysed.qc->Verdict() : "";
  if (verdict == read.verdict) return true;
  *error = "the stored assay now gives the verdict '" + verdict + "', the record says '" +
           read.verdict + "'; give --assay FILE to report with an assay of your choice";
  return false;
}

int RunRecordReport(const CliOptions& options, const CliIo& io) {
  const std::unique_ptr<archive::Archive> archive = OpenArchiveToRead(options, io.err);
  if (!archive) return kExitFailure;
  archive::PlateRead read;
  std::string error;
  if (!archive->GetRead(options.recordUuid, &read, &error)) {
    io.err << kProgram
           << (error.empty() ? "no read " + options.recordUuid + " in the archive" : error) << '\n';
    return kExitFailure;
  }
  // As the read is now: later plate ID, excluded wells, comments.
  std::vector<archive::AuditEntry> trail;
  if (!archive->AuditTrail(read.uuid, &trail, &error)) {
    io.err << kProgram << error << '\n';
    return kExitFailure;
  }
  const archive::ReadState state = archive::CurrentState(read, trail);
  TPlateResult plate;
  ResultContext context;
  PlateOfRecord(read, &plate, &context);
  CliOptions withRecord = options;
  withRecord.operatorName = read.operatorName;
  if (!TakeStoredAssay(read, plate, &withRecord, &error)) {
    io.err << kProgram << error << '\n';
    return kExitFailure;
  }
  if (!WritePlateReportFile(plate, context, withRecord, options.output, &error, &state,
                            archive->Name())) {
    io.err << kProgram << "cannot write " << options.output << ": " << error << '\n';
    return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace

int RunReport(const CliOptions& options, const CliIo& io) {
  if (!options.recordUuid.empty()) return RunRecordReport(options, io);
  const SavedPlates saved = ReadResultFile(options.plateFiles.front());
  if (!saved.ok) {
    io.err << kProgram << saved.error << '\n';
    return kExitFailure;
  }
  if (saved.plates.size() != 1) {
    io.err << kProgram << options.plateFiles.front() << " holds " << saved.plates.size()
           << " reads; a report is of one plate\n";
    return kExitFailure;
  }
  std::string error;
  if (!WritePlateReportFile(saved.plates[0].plate, saved.plates[0].context, options, options.output,
                            &error)) {
    io.err << kProgram << "cannot write " << options.output << ": " << error << '\n';
    return kExitFailure;
  }
  return kExitSuccess;
}
