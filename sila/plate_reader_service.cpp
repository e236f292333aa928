// The measurement commands: their parameters checked, the reading on its
// thread, the record archived and the result (with an assay, its analysis)
// kept for the client.
#include "sila/plate_reader_service.h"

#include <algorithm>
#include <chrono>

#include <platovix_version.h>

#include "analysis/analysis_report.h"
#include "results/result_file.h"
#include "sila/measure_progress.h"
#include "sila/plate_result.h"
#include "sila/reader_outcome_errors.h"
#include "sila/sila_errors.h"

namespace {

bool MeasureWavelengthOk(int64_t nm) {
  return nm >= 100 && nm <= 999;
}

}  // namespace

archive::PlateRead RecordOf(const MeasuredPlate& plate, const std::string& readerKind,
                            const std::string& device) {
  archive::PlateRead read;
  read.uuid = archive::NewUuid();
  read.operatorName = archive::LoginName();
  read.host = archive::HostName();
  read.readerFamily = readerKind;
  read.readerId = plate.readerId;
  read.readerDevice = device;
  read.primaryNm = plate.primary;
  read.referenceNm = plate.reference;
  read.started = FormatIsoLocalTime(plate.started);
  read.completed = FormatIsoLocalTime(plate.completed);
  read.programVersion = PLATOVIX_VERSION;
  std::copy(std::begin(plate.values), std::end(plate.values), read.values.begin());
  std::copy(std::begin(plate.overRange), std::end(plate.overRange), read.overRange.begin());
  return read;
}

PlateReaderService::PlateReaderService(ReaderSession& reader, ExecutionStore& executions,
                                       SilaArchive& archive)
    : reader_(reader), executions_(executions), archive_(archive) {}

PlateReaderService::~PlateReaderService() {
  std::lock_guard<std::mutex> lock(threadMutex_);
  if (measurement_.joinable()) {
    reader_.Abort();
    measurement_.join();
  }
}

grpc::Status PlateReaderService::MeasurePlate(grpc::ServerContext*,
                                              const prc::MeasurePlate_Parameters* request,
                                              silafw::CommandConfirmation* response) {
  // Each parameter in turn: present, then in range.
  if (!request->has_primarywavelength())
    return MissingParameter("MeasurePlate", "PrimaryWavelength", "The primary wavelength");
  const int64_t primary = request->primarywavelength().value();
  const int64_t reference = request->referencewavelength().value();
  if (!MeasureWavelengthOk(primary)) {
    return ValidationFailure(
        ReaderParameter("MeasurePlate", "PrimaryWavelength"),
        "The primary wavelength must be 100 to 999 nm, not " + std::to_string(primary) + ".");
  }
  if (!request->has_referencewavelength())
    return MissingParameter("MeasurePlate", "ReferenceWavelength",
                            "The reference wavelength (0 for none)");
  if (reference != 0 && !MeasureWavelengthOk(reference)) {
    return ValidationFailure(ReaderParameter("MeasurePlate", "ReferenceWavelength"),
                             "The reference wavelength must be 0 (none) or 100 to 999 nm, not " +
                                 std::to_string(reference) + ".");
  }
  if (!request->has_confirmplateloading())
    return MissingParameter("MeasurePlate", "ConfirmPlateLoading",
                            "The plate loading confirmation");
  MeasureRequest measure;
  measure.primary = static_cast<int>(primary);
  measure.reference = static_cast<int>(reference);
  measure.confirmPlate = request->confirmplateloading().value();
  return StartMeasurement("MeasurePlate", std::move(measure), response);
}

grpc::Status PlateReaderService::MeasureAssay(grpc::ServerContext*,
                                              const prc::MeasureAssay_Parameters* request,
                                              silafw::CommandConfirmation* response) {
  // The whole assay is checked before the reader is touched.
  if (!request->has_assay()) return MissingParameter("MeasureAssay", "Assay", "The assay");
  const analysis::AssayParse parse = analysis::ParseAssay(request->assay().value());
  if (!parse.ok) {
    return ValidationFailure(ReaderParameter("MeasureAssay", "Assay"),
                             "The assay is not valid: " + parse.error.Text());
  }
  if (!request->has_confirmplateloading())
    return MissingParameter("MeasureAssay", "ConfirmPlateLoading",
                            "The plate loading confirmation");
  MeasureRequest measure;
  measure.primary = parse.assay.reading.primary;
  measure.reference = parse.assay.reading.reference.value_or(0);
  measure.confirmPlate = request->confirmplateloading().value();
  measure.assay = parse.assay;
  measure.assayText = request->assay().value();
  return StartMeasurement("MeasureAssay", std::move(measure), response);
}

grpc::Status PlateReaderService::StartMeasurement(const std::string& command,
                                                  MeasureRequest request,
                                                  silafw::CommandConfirmation* response) {
  if (!reader_.TryClaim()) return StatusOf(ReaderBusyError());
  const std::string uuid = executions_.Create(command);
  // A client that asks before the measurement's thread runs sees the first
  // guess of the time it takes, never a running execution with none left.
  executions_.SetProgress(uuid, 0,
                          request.kinetic ? request.intervalSeconds * request.reads
                                          : MeasureProgress().remainingSeconds());
  reader_.SetExecution(uuid);
  {
    std::lock_guard<std::mutex> lock(threadMutex_);
    if (measurement_.joinable()) measurement_.join();  // the last one has released the reader
    measurement_ = std::thread(&PlateReaderService::RunMeasurement, this, uuid, std::move(request));
  }
  response->mutable_commandexecutionuuid()->set_value(uuid);
  response->mutable_lifetimeofexecution()->set_seconds(executions_.lifetime().count());
  return grpc::Status::OK;
}

void PlateReaderService::RunMeasurement(std::string uuid, MeasureRequest request) {
  if (request.kinetic) {
    RunKinetic(uuid, request);
    return;
  }
  MeasuredPlate plate;
  plate.primary = request.primary;
  plate.reference = request.reference;
  plate.started = std::chrono::system_clock::now();
  MeasureProgress progress;
  std::fill(std::begin(plate.values), std::end(plate.values), kNoValue);
  const ReaderReport report = reader_.Run(
      [&](TFoto& driver, PortHandle* port, DialogHandle** dialog, AbortFlag* abort) {
        driver.Measure(port, dialog, abort, plate.values, plate.primary, plate.reference,
                       plate.overRange);
      },
      [&](const std::string& text) {
        executions_.AddIntermediate(uuid, text);
        if (progress.Take(text))
          executions_.SetProgress(uuid, progress.progress(), progress.remainingSeconds());
      },
      request.confirmPlate);
  plate.completed = std::chrono::system_clock::now();
  // The reader is free before the execution is seen to end: a client that
  // follows the execution may send its next command at once.
  plate.readerId = reader_.ReaderId();
  archive::PlateRead record = RecordOf(plate, reader_.ReaderKind(), reader_.device());
  reader_.Release();
  if (request.assay) {
    record.assayName = request.assay->name;
    record.assayJson = request.assayText;
  }
  if (report.outcome != ReaderOutcome::Done) {
    record.status = report.outcome == ReaderOutcome::Aborted ? archive::ReadStatus::Aborted
                                                             : archive::ReadStatus::Failed;
    record.message = report.message;
    archive_.Store(record);
    executions_.Fail(uuid, ErrorForReport(report));
    archive_.ForwardLater();
    return;
  }
  if (!request.assay) {
    prc::MeasurePlate_Responses result;
    FillPlate(plate, &result);
    result.mutable_recorduuid()->set_value(archive_.Store(record));
    executions_.Succeed(uuid, result.SerializeAsString());
    archive_.ForwardLater();
    return;
  }
  const analysis::PlateAnalysis analysed = analysis::AnalysePlate(
      plate.values, plate.overRange, request.assay->layout, request.assay->Options());
  record.analysisJson = analysis::AnalysisJson(analysed).dump();
  if (analysed.qc) record.verdict = analysed.qc->Verdict();
  prc::MeasureAssay_Responses result;
  FillPlate(plate, result.mutable_plate()->mutable_plate());
  FillAnalysis(analysed, &result);
  result.mutable_recorduuid()->set_value(archive_.Store(record));
  executions_.Succeed(uuid, result.SerializeAsString());
  archive_.ForwardLater();
}
