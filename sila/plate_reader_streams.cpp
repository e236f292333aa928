// What clients follow of a measurement: its execution info, its
// intermediate status texts and its result; and the Busy property.
#include <algorithm>
#include <type_traits>

#include "sila/plate_reader_service.h"
#include "sila/sila_errors.h"

namespace {

constexpr int kStreamPollMs = 200;  // how often a stream looks for a gone client

void SetDuration(double seconds, silafw::Duration* duration) {
  seconds = std::max(seconds, 0.0);
  duration->set_seconds(static_cast<int64_t>(seconds));
  duration->set_nanos(
      static_cast<int32_t>((seconds - static_cast<double>(duration->seconds())) * 1e9));
}

grpc::Status InvalidUuid(const std::string& uuid) {
  return FrameworkFailure(silafw::FrameworkError::INVALID_COMMAND_EXECUTION_UUID,
                          "No command execution " + uuid + " (unknown, or its lifetime is over).");
}

}  // namespace

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
      // A kinetic run's intermediates are its reads, kept serialised.
      if constexpr (std::is_same_v<Intermediate, prc::MeasureKinetic_IntermediateResponses>) {
        response.ParseFromString(state->intermediates[sent]);
      } else {
        response.mutable_status()->set_value(state->intermediates[sent]);
      }
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

grpc::Status PlateReaderService::MeasureKinetic_Info(
    grpc::ServerContext* context, const silafw::CommandExecutionUUID* request,
    grpc::ServerWriter<silafw::ExecutionInfo>* writer) {
  return StreamInfo(context, "MeasureKinetic", request->value(), writer);
}

grpc::Status PlateReaderService::MeasureKinetic_Intermediate(
    grpc::ServerContext* context, const silafw::CommandExecutionUUID* request,
    grpc::ServerWriter<prc::MeasureKinetic_IntermediateResponses>* writer) {
  return StreamIntermediates(context, "MeasureKinetic", request->value(), writer);
}

grpc::Status PlateReaderService::MeasureKinetic_Result(grpc::ServerContext*,
                                                       const silafw::CommandExecutionUUID* request,
                                                       prc::MeasureKinetic_Responses* response) {
  std::string result;
  const grpc::Status status = FinishedResult("MeasureKinetic", request->value(), &result);
  if (status.ok()) response->ParseFromString(result);
  return status;
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
