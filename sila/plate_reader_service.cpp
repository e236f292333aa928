#include "sila/plate_reader_service.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <set>

#include <platovix_version.h>

#include "analysis/analysis_report.h"
#include "results/result_file.h"
#include "sila/measure_progress.h"
#include "sila/plate_result.h"
#include "sila/reader_outcome_errors.h"
#include "sila/sila_errors.h"

namespace {

constexpr int kPositions = 6;
constexpr int kStreamPollMs = 200;  // how often a stream looks for a gone client

bool MeasureWavelengthOk(int64_t nm) {
  return nm >= 100 && nm <= 999;
}

bool CalibrationWavelengthOk(int64_t nm) {
  return nm == 0 || (nm >= 200 && nm <= 999);
}

void SetDuration(double seconds, silafw::Duration* duration) {
  seconds = std::max(seconds, 0.0);
  duration->set_seconds(static_cast<int64_t>(seconds));
  duration->set_nanos(
      static_cast<int32_t>((seconds - static_cast<double>(duration->seconds())) * 1e9));
}

constexpr size_t kRecentReads = 20;

// The archive's record of a read as the other front ends make it.
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
  return read;
}

void AddIntegers(const std::vector<int>& values,
                 google::protobuf::RepeatedPtrField<silafw::Integer>* list) {
  for (int value : values) list->Add()->set_value(value);
}

grpc::Status Missing(const std::string& command, const std::string& parameter,
                     const std::string& what) {
  return ValidationFailure(ReaderParameter(command, parameter), what + " is missing.");
}

grpc::Status InvalidUuid(const std::string& uuid) {
  return FrameworkFailure(silafw::FrameworkError::INVALID_COMMAND_EXECUTION_UUID,
                          "No command execution " + uuid + " (unknown, or its lifetime is over).");
}

}  // namespace

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
    return Missing("MeasurePlate", "PrimaryWavelength", "The primary wavelength");
  const int64_t primary = request->primarywavelength().value();
  const int64_t reference = request->referencewavelength().value();
  if (!MeasureWavelengthOk(primary)) {
    return ValidationFailure(
        ReaderParameter("MeasurePlate", "PrimaryWavelength"),
        "The primary wavelength must be 100 to 999 nm, not " + std::to_string(primary) + ".");
  }
  if (!request->has_referencewavelength())
    return Missing("MeasurePlate", "ReferenceWavelength", "The reference wavelength (0 for none)");
  if (reference != 0 && !MeasureWavelengthOk(reference)) {
    return ValidationFailure(ReaderParameter("MeasurePlate", "ReferenceWavelength"),
                             "The reference wavelength must be 0 (none) or 100 to 999 nm, not " +
                                 std::to_string(reference) + ".");
  }
  if (!request->has_confirmplateloading())
    return Missing("MeasurePlate", "ConfirmPlateLoading", "The plate loading confirmation");
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
  if (!request->has_assay()) return Missing("MeasureAssay", "Assay", "The assay");
  const analysis::AssayParse parse = analysis::ParseAssay(request->assay().value());
  if (!parse.ok) {
    return ValidationFailure(ReaderParameter("MeasureAssay", "Assay"),
                             "The assay is not valid: " + parse.error.Text());
  }
  if (!request->has_confirmplateloading())
    return Missing("MeasureAssay", "ConfirmPlateLoading", "The plate loading confirmation");
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
  MeasuredPlate plate;
  plate.primary = request.primary;
  plate.reference = request.reference;
  plate.started = std::chrono::system_clock::now();
  MeasureProgress progress;
  executions_.SetProgress(uuid, 0, progress.remainingSeconds());
  std::fill(std::begin(plate.values), std::end(plate.values), kNoValue);
  const ReaderReport report = reader_.Run(
      [&](TFoto& driver, PortHandle* port, DialogHandle** dialog, AbortFlag* abort) {
        driver.Measure(port, dialog, abort, plate.values, plate.primary, plate.reference);
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
    return;
  }
  if (!request.assay) {
    prc::MeasurePlate_Responses result;
    FillPlate(plate, &result);
    result.mutable_recorduuid()->set_value(archive_.Store(record));
    executions_.Succeed(uuid, result.SerializeAsString());
    return;
  }
  const analysis::PlateAnalysis analysed =
      analysis::AnalysePlate(plate.values, request.assay->layout, request.assay->Options());
  record.analysisJson = analysis::AnalysisJson(analysed).dump();
  if (analysed.qc) record.verdict = analysed.qc->Verdict();
  prc::MeasureAssay_Responses result;
  FillPlate(plate, result.mutable_plate()->mutable_plate());
  FillAnalysis(analysed, &result);
  result.mutable_recorduuid()->set_value(archive_.Store(record));
  executions_.Succeed(uuid, result.SerializeAsString());
}

grpc::Status PlateReaderService::StreamInfo(grpc::ServerContext* context,
                                            const std::string& command, const std::string& uuid,
                                            grpc::ServerWriter<silafw::ExecutionInfo>* writer) {
  uint64_t seen = 0;
  std::string last;  // what the client was sent last: an intermediate text alone is no news here
  while (!context->IsCancelled()) {
    const auto state = executions_.WaitNewer(uuid, seen, kStreamPollMs);
    if (!state || state->command != command)
      return seen == 0 ? InvalidUuid(uuid) : grpc::Status::OK;
    if (state->version == seen) continue;
    seen = state->version;
    silafw::ExecutionInfo info;
    info.set_commandstatus(state->status);
    info.mutable_progressinfo()->set_value(state->progress);
    SetDuration(state->remainingSeconds, info.mutable_estimatedremainingtime());
    const std::string news = info.SerializeAsString();
    SetDuration(state->lifetimeSeconds, info.mutable_updatedlifetimeofexecution());
    if (news == last) continue;
    last = news;
    if (!writer->Write(info)) break;
    if (state->status == silafw::ExecutionInfo::finishedSuccessfully ||
        state->status == silafw::ExecutionInfo::finishedWithError)
      break;
  }
  return grpc::Status::OK;
}

template <typename Intermediate>
grpc::Status PlateReaderService::StreamIntermediates(grpc::ServerContext* context,
                                                     const std::string& command,
                                                     const std::string& uuid,
                                                     grpc::ServerWriter<Intermediate>* writer) {
  uint64_t seen = 0;
  size_t sent = 0;
  while (!context->IsCancelled()) {
    const auto state = executions_.WaitNewer(uuid, seen, kStreamPollMs);
    if (!state || state->command != command)
      return seen == 0 ? InvalidUuid(uuid) : grpc::Status::OK;
    seen = state->version;
    for (; sent < state->intermediates.size(); ++sent) {
      Intermediate response;
      response.mutable_status()->set_value(state->intermediates[sent]);
      if (!writer->Write(response)) return grpc::Status::OK;
    }
    if (state->status != silafw::ExecutionInfo::running) break;
  }
  return grpc::Status::OK;
}

grpc::Status PlateReaderService::FinishedResult(const std::string& command, const std::string& uuid,
                                                std::string* result) {
  const auto state = executions_.Get(uuid);
  if (!state || state->command != command) return InvalidUuid(uuid);
  if (state->status == silafw::ExecutionInfo::running ||
      state->status == silafw::ExecutionInfo::waiting) {
    return FrameworkFailure(silafw::FrameworkError::COMMAND_EXECUTION_NOT_FINISHED,
                            "The measurement is still running.");
  }
  if (state->error) return StatusOf(*state->error);
  *result = state->result;
  return grpc::Status::OK;
}

grpc::Status PlateReaderService::MeasurePlate_Info(
    grpc::ServerContext* context, const silafw::CommandExecutionUUID* request,
    grpc::ServerWriter<silafw::ExecutionInfo>* writer) {
  return StreamInfo(context, "MeasurePlate", request->value(), writer);
}

grpc::Status PlateReaderService::MeasurePlate_Intermediate(
    grpc::ServerContext* context, const silafw::CommandExecutionUUID* request,
    grpc::ServerWriter<prc::MeasurePlate_IntermediateResponses>* writer) {
  return StreamIntermediates(context, "MeasurePlate", request->value(), writer);
}

grpc::Status PlateReaderService::MeasurePlate_Result(grpc::ServerContext*,
                                                     const silafw::CommandExecutionUUID* request,
                                                     prc::MeasurePlate_Responses* response) {
  std::string result;
  const grpc::Status status = FinishedResult("MeasurePlate", request->value(), &result);
  if (status.ok()) response->ParseFromString(result);
  return status;
}

grpc::Status PlateReaderService::MeasureAssay_Info(
    grpc::ServerContext* context, const silafw::CommandExecutionUUID* request,
    grpc::ServerWriter<silafw::ExecutionInfo>* writer) {
  return StreamInfo(context, "MeasureAssay", request->value(), writer);
}

grpc::Status PlateReaderService::MeasureAssay_Intermediate(
    grpc::ServerContext* context, const silafw::CommandExecutionUUID* request,
    grpc::ServerWriter<prc::MeasureAssay_IntermediateResponses>* writer) {
  return StreamIntermediates(context, "MeasureAssay", request->value(), writer);
}

grpc::Status PlateReaderService::MeasureAssay_Result(grpc::ServerContext*,
                                                     const silafw::CommandExecutionUUID* request,
                                                     prc::MeasureAssay_Responses* response) {
  std::string result;
  const grpc::Status status = FinishedResult("MeasureAssay", request->value(), &result);
  if (status.ok()) response->ParseFromString(result);
  return status;
}

grpc::Status PlateReaderService::ReadFilters(grpc::ServerContext*,
                                             const prc::ReadFilters_Parameters*,
                                             prc::ReadFilters_Responses* response) {
  if (!reader_.TryClaim()) return StatusOf(ReaderBusyError());
  int32_t wavelengths[64] = {};
  int32_t count = 0;
  const ReaderReport report = reader_.Run(
      [&](TFoto& driver, PortHandle* port, DialogHandle** dialog, AbortFlag* abort) {
        driver.ReadFilters(port, dialog, abort, wavelengths, &count);
      },
      nullptr, false);
  if (report.outcome == ReaderOutcome::Done) {
    reader_.RememberFilters(wavelengths, kPositions);
    AddIntegers(reader_.Filters(), response->mutable_filters());
    response->mutable_readeridentification()->set_value(reader_.ReaderId());
  }
  reader_.Release();
  if (report.outcome != ReaderOutcome::Done) return StatusOf(ErrorForReport(report));
  return grpc::Status::OK;
}

grpc::Status PlateReaderService::CalibrateFilters(grpc::ServerContext*,
                                                  const prc::CalibrateFilters_Parameters* request,
                                                  prc::CalibrateFilters_Responses* response) {
  const std::string parameter = ReaderParameter("CalibrateFilters", "Calibrations");
  if (request->calibrations_size() == 0)
    return ValidationFailure(parameter, "Name at least one filter position to calibrate.");
  int32_t wavelengths[64] = {};
  int32_t flags[64] = {};
  const std::vector<int> known = reader_.Filters();
  for (size_t i = 0; i < known.size() && i < kPositions; ++i) wavelengths[i] = known[i];
  std::set<int64_t> named;
  for (const auto& calibration : request->calibrations()) {
    if (!calibration.has_position())
      return ValidationFailure(parameter, "A calibration names no filter position.");
    if (!calibration.has_wavelength())
      return ValidationFailure(parameter, "A calibration names no wavelength.");
    const int64_t position = calibration.position().value();
    const int64_t nm = calibration.wavelength().value();
    if (position < 1 || position > kPositions)
      return ValidationFailure(
          parameter, "A filter position must be 1 to 6, not " + std::to_string(position) + ".");
    if (!CalibrationWavelengthOk(nm))
      return ValidationFailure(
          parameter, "The wavelength for position " + std::to_string(position) +
                         " must be 0 (clear) or 200 to 999 nm, not " + std::to_string(nm) + ".");
    if (!named.insert(position).second)
      return ValidationFailure(parameter,
                               "Filter position " + std::to_string(position) + " is named twice.");
    wavelengths[position - 1] = static_cast<int32_t>(nm);
    flags[position - 1] = 1;
  }
  if (!reader_.TryClaim()) return StatusOf(ReaderBusyError());
  int32_t count = kPositions;
  const ReaderReport report = reader_.Run(
      [&](TFoto& driver, PortHandle* port, DialogHandle** dialog, AbortFlag* abort) {
        driver.Calibrate(port, dialog, abort, wavelengths, flags, &count);
      },
      nullptr, false);
  if (report.outcome == ReaderOutcome::Done) {
    reader_.RememberFilters(wavelengths, kPositions);
    AddIntegers(reader_.Filters(), response->mutable_filters());
  }
  reader_.Release();
  if (report.outcome != ReaderOutcome::Done) return StatusOf(ErrorForReport(report));
  return grpc::Status::OK;
}

grpc::Status PlateReaderService::MovePlate(grpc::ServerContext*,
                                           const prc::MovePlate_Parameters* request,
                                           prc::MovePlate_Responses*) {
  if (!request->has_direction()) return Missing("MovePlate", "Direction", "The direction");
  const std::string& direction = request->direction().value();
  if (direction != "In" && direction != "Out") {
    return ValidationFailure(ReaderParameter("MovePlate", "Direction"),
                             "The direction must be In or Out, not '" + direction + "'.");
  }
  if (!reader_.TryClaim()) return StatusOf(ReaderBusyError());
  const ReaderReport report = reader_.Run(
      [&](TFoto& driver, PortHandle* port, DialogHandle** dialog, AbortFlag* abort) {
        driver.MovePlate(port, dialog, abort, direction == "Out");
      },
      nullptr, false);
  reader_.Release();
  if (report.outcome != ReaderOutcome::Done) return StatusOf(ErrorForReport(report));
  return grpc::Status::OK;
}

grpc::Status PlateReaderService::Get_ReaderIdentification(
    grpc::ServerContext*, const prc::Get_ReaderIdentification_Parameters*,
    prc::Get_ReaderIdentification_Responses* response) {
  response->mutable_readeridentification()->set_value(reader_.ReaderId());
  return grpc::Status::OK;
}

grpc::Status PlateReaderService::Get_Filters(grpc::ServerContext*,
                                             const prc::Get_Filters_Parameters*,
                                             prc::Get_Filters_Responses* response) {
  AddIntegers(reader_.Filters(), response->mutable_filters());
  return grpc::Status::OK;
}

grpc::Status PlateReaderService::Subscribe_Busy(
    grpc::ServerContext* context, const prc::Subscribe_Busy_Parameters*,
    grpc::ServerWriter<prc::Subscribe_Busy_Responses>* writer) {
  uint64_t generation = reader_.BusyGeneration();
  bool busy = generation % 2 == 1;
  prc::Subscribe_Busy_Responses response;
  response.mutable_busy()->set_value(busy);
  if (!writer->Write(response)) return grpc::Status::OK;
  while (!context->IsCancelled()) {
    if (!reader_.WaitBusyChange(&generation, &busy, kStreamPollMs)) continue;
    response.mutable_busy()->set_value(busy);
    if (!writer->Write(response)) break;
  }
  return grpc::Status::OK;
}

grpc::Status PlateReaderService::Get_RecentReads(grpc::ServerContext*,
                                                 const prc::Get_RecentReads_Parameters*,
                                                 prc::Get_RecentReads_Responses* response) {
  std::vector<archive::ReadSummary> reads;
  std::string error;
  if (!archive_.Recent(kRecentReads, &reads, &error))
    return UndefinedFailure("The plate archive cannot be read: " + error);
  for (const archive::ReadSummary& read : reads) {
    auto* entry = response->add_recentreads()->mutable_archivedread();
    entry->mutable_recorduuid()->set_value(read.uuid);
    entry->mutable_time()->set_value(read.atUtc);
    entry->mutable_plateid()->set_value(read.plateId);
    entry->mutable_assay()->set_value(read.assay);
    entry->mutable_status()->set_value(read.status);
    entry->mutable_operator_()->set_value(read.operatorName);
  }
  return grpc::Status::OK;
}
