// de.platovix/instruments/PlateReaderController/v1 on the reader session:
// MeasurePlate as an observable command, the unobservable commands, and
// the properties.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "PlateReaderController.grpc.pb.h"
#include "analysis/assay.h"
#include "sila/execution_store.h"
#include "sila/reader_session.h"
#include "sila/sila_archive.h"

namespace prc = sila2::de::platovix::instruments::platereadercontroller::v1;

class PlateReaderService final : public prc::PlateReaderController::Service {
 public:
  PlateReaderService(ReaderSession& reader, ExecutionStore& executions, SilaArchive& archive);
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
  grpc::Status MeasureAssay(grpc::ServerContext*, const prc::MeasureAssay_Parameters* request,
                            sila2::org::silastandard::CommandConfirmation* response) override;
  grpc::Status MeasureAssay_Info(
      grpc::ServerContext* context, const sila2::org::silastandard::CommandExecutionUUID* request,
      grpc::ServerWriter<sila2::org::silastandard::ExecutionInfo>* writer) override;
  grpc::Status MeasureAssay_Intermediate(
      grpc::ServerContext* context, const sila2::org::silastandard::CommandExecutionUUID* request,
      grpc::ServerWriter<prc::MeasureAssay_IntermediateResponses>* writer) override;
  grpc::Status MeasureAssay_Result(grpc::ServerContext*,
                                   const sila2::org::silastandard::CommandExecutionUUID* request,
                                   prc::MeasureAssay_Responses* response) override;
  grpc::Status MeasureKinetic(grpc::ServerContext*, const prc::MeasureKinetic_Parameters* request,
                              sila2::org::silastandard::CommandConfirmation* response) override;
  grpc::Status MeasureKinetic_Info(
      grpc::ServerContext* context, const sila2::org::silastandard::CommandExecutionUUID* request,
      grpc::ServerWriter<sila2::org::silastandard::ExecutionInfo>* writer) override;
  grpc::Status MeasureKinetic_Intermediate(
      grpc::ServerContext* context, const sila2::org::silastandard::CommandExecutionUUID* request,
      grpc::ServerWriter<prc::MeasureKinetic_IntermediateResponses>* writer) override;
  grpc::Status MeasureKinetic_Result(grpc::ServerContext*,
                                     const sila2::org::silastandard::CommandExecutionUUID* request,
                                     prc::MeasureKinetic_Responses* response) override;
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
  grpc::Status Get_RecentReads(grpc::ServerContext*, const prc::Get_RecentReads_Parameters*,
                               prc::Get_RecentReads_Responses* response) override;

 private:
  // What one measurement was asked for; with an assay, its parsed form and
  // its text as the client sent it (the archive keeps the text).
  struct MeasureRequest {
    int primary = 0;
    int reference = 0;
    bool confirmPlate = false;
    std::optional<analysis::Assay> assay;
    std::string assayText;
    // A kinetic run: how many reads, start to start, and their analysis.
    int reads = 1;
    double intervalSeconds = 0;
    std::optional<analysis::KineticOptions> kinetic;
  };
  // Claims the reader and starts the measurement on its thread.
  grpc::Status StartMeasurement(const std::string& command, MeasureRequest request,
                                sila2::org::silastandard::CommandConfirmation* response);
  void RunMeasurement(std::string uuid, MeasureRequest request);
  void RunKinetic(const std::string& uuid, const MeasureRequest& request);
  template <typename Intermediate>
  grpc::Status StreamIntermediates(grpc::ServerContext* context, const std::string& command,
                                   const std::string& uuid,
                                   grpc::ServerWriter<Intermediate>* writer);
  grpc::Status StreamInfo(grpc::ServerContext* context, const std::string& command,
                          const std::string& uuid,
                          grpc::ServerWriter<sila2::org::silastandard::ExecutionInfo>* writer);
  // The finished execution's serialised result, or the status to return.
  grpc::Status FinishedResult(const std::string& command, const std::string& uuid,
                              std::string* result);

  ReaderSession& reader_;
  ExecutionStore& executions_;
  SilaArchive& archive_;
  std::mutex threadMutex_;
  std::thread measurement_;
};
