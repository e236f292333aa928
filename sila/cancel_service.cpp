#include "sila/cancel_service.h"

#include <algorithm>

#include "sila/sila_errors.h"

namespace {

constexpr char kCancelControllerId[] = "org.silastandard/core.commands/CancelController/v1";

}  // namespace

grpc::Status CancelService::CancelCommand(grpc::ServerContext*,
                                          const cancelcontroller::CancelCommand_Parameters* request,
                                          cancelcontroller::CancelCommand_Responses*) {
  const std::string parameter =
      std::string(kCancelControllerId) + "/Command/CancelCommand/Parameter/CommandExecutionUUID";
  if (!request->has_commandexecutionuuid() || !request->commandexecutionuuid().has_uuid())
    return ValidationFailure(parameter, "The command execution UUID is missing.");
  const std::string& uuid = request->commandexecutionuuid().uuid().value();
  if (!LooksLikeUuid(uuid))
    return ValidationFailure(parameter, "'" + uuid + "' is not a command execution UUID.");
  // The abort reaches the reader only while this execution holds it: one that
  // ended a moment ago is not running, and its successor is not touched.
  const std::vector<std::string> running = executions_.Running();
  if (std::find(running.begin(), running.end(), uuid) == running.end() ||
      !reader_.AbortExecution(uuid)) {
    return DefinedFailure(
        std::string(kCancelControllerId) + "/DefinedExecutionError/InvalidCommandExecutionUUID",
        "No command with execution UUID " + uuid + " is running.");
  }
  return grpc::Status::OK;
}

grpc::Status CancelService::CancelAll(grpc::ServerContext*,
                                      const cancelcontroller::CancelAll_Parameters*,
                                      cancelcontroller::CancelAll_Responses*) {
  reader_.Abort();
  return grpc::Status::OK;
}
