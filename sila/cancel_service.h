// org.silastandard/core.commands/CancelController/v1: cancelling the running
// measurement raises the driver's abort flag, so the reader gets EOT as
// with the Abort button.
#pragma once

#include "CancelController.grpc.pb.h"
#include "sila/execution_store.h"
#include "sila/reader_session.h"

namespace cancelcontroller = sila2::org::silastandard::core::commands::cancelcontroller::v1;

class CancelService final : public cancelcontroller::CancelController::Service {
 public:
  CancelService(ReaderSession& reader, ExecutionStore& executions)
      : reader_(reader), executions_(executions) {}

  grpc::Status CancelCommand(grpc::ServerContext*,
                             const cancelcontroller::CancelCommand_Parameters* request,
                             cancelcontroller::CancelCommand_Responses*) override;
  grpc::Status CancelAll(grpc::ServerContext*, const cancelcontroller::CancelAll_Parameters*,
                         cancelcontroller::CancelAll_Responses*) override;

 private:
  ReaderSession& reader_;
  ExecutionStore& executions_;
};
