// de.platovix/instruments/PlateReaderController/v1 on the reader session:
// MeasurePlate as an observable command, the unobservable commands, and
// the properties.
#pragma once

#include <mutex>
#include <thread>

#include "PlateReaderController.grpc.pb.h"
#include "sila/execution_store.h"
#include "sila/reader_session.h"

namespace prc = sila2::de::platovix::instruments::platereadercontroller::v1;

class PlateReaderService final : public prc::PlateReaderController::Service {
 public:
  PlateReaderService(ReaderSession& reader, ExecutionStore& executions);
  ~PlateReaderService() override;  // aborts a running measurement and waits for it

  grpc::Status MeasurePlate(grpc::ServerContext*, const prc::MeasurePlate_Parameters* request,
                            sila2::org::silastandard::CommandConfirmation* response) override;
  grpc::Status MeasurePlate_Info(
      grpc::ServerContext* context, const sila2::org::silastandard::CommandExecutionUUID* request,
      grpc::ServerWriter<sila2::org::silastandard::ExecutionInfo>* writer) override;
  grpc::Status MeasurePlate_Intermediate(
      grpc::ServerContext* context, const sila2::org::silastandard::CommandExecutionUUID* request,
      grpc::ServerWriter<prc::MeasurePlate_IntermediateResponses>* writer) override;
  grpc::Status MeasurePlate_Result(grpc::ServerContext*,
                                   const sila2::org::silastandard::CommandExecutionUUID* request,
                                   prc::MeasurePlate_Responses* response) override;
  grpc::Status ReadFilters(grpc::ServerContext*, const prc::ReadFilters_Parameters*,
                           prc::ReadFilters_Responses* response) override;
  grpc::Status CalibrateFilters(grpc::ServerContext*,
                                const prc::CalibrateFilters_Parameters* request,
                                prc::CalibrateFilters_Responses* response) override;
  grpc::Status MovePlate(grpc::ServerContext*, const prc::MovePlate_Parameters* request,
                         prc::MovePlate_Responses*) override;
  grpc::Status Get_ReaderIdentification(grpc::ServerContext*,
                                        const prc::Get_ReaderIdentification_Parameters*,
                                        prc::Get_ReaderIdentification_Responses* response) override;
  grpc::Status Get_Filters(grpc::ServerContext*, const prc::Get_Filters_Parameters*,
                           prc::Get_Filters_Responses* response) override;
  grpc::Status Subscribe_Busy(grpc::ServerContext* context, const prc::Subscribe_Busy_Parameters*,
                              grpc::ServerWriter<prc::Subscribe_Busy_Responses>* writer) override;

 private:
  void RunMeasurement(std::string uuid, int primary, int reference, bool confirmPlate);

  ReaderSession& reader_;
  ExecutionStore& executions_;
  std::mutex threadMutex_;
  std::thread measurement_;
};
