#include "sila/cancel_service.h"

#include <algorithm>

#include "sila/sila_errors.h"

namespace {

constexpr char kCancelControllerId[] = "org.silastandard/core.commands/CancelController/v1";

}  // namespace

grpc::Status CancelService::CancelCommand(grpc::ServerContext*,
                                          const cancelcontroller::CancelCommand_Parameters* request,
                                          cancelcontroller::CancelCommand_Responses*) {
  const std::string& uuid = request->commandexecutionuuid().uuid().value();
  if (!LooksLikeUuid(uuid)) {
    return ValidationFailure(
        std::string(kCancelControllerId) + "/Command/CancelCommand/Parameter/CommandExecutionUUID",
        "'" + uuid + "' is not a command execution UUID.");
  }
  const std::vector<std::string> running = executions_.Running();
  if (std::find(running.begin(), running.end(), uuid) == running.end()) {
    return DefinedFailure(
        std::string(kCancelControllerId) + "/DefinedExecutionError/InvalidCommandExecutionUUID",
        "No command with execution UUID " + uuid + " is running.");
  }
  reader_.Abort();  // only one command runs on the reader: this one
  return grpc::Status::OK;
}

grpc::Status CancelService::CancelAll(grpc::ServerContext*,
                                      const cancelcontroller::CancelAll_Parameters*,
                                      cancelcontroller::CancelAll_Responses*) {
  if (reader_.Busy()) reader_.Abort();
  return grpc::Status::OK;
}
