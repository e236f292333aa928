// A SiLA server on a simulated reader in-process, over TLS with a fresh
// self-signed certificate, and a client with the three features' stubs.
#pragma once

#include <grpcpp/grpcpp.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "CancelController.grpc.pb.h"
#include "PlateReaderController.grpc.pb.h"
#include "SiLAService.grpc.pb.h"
#include "driver/reader_line.h"
#include "results/shared_state.h"
#include "sila/feature_texts.h"
#include "sila/local_channel.h"
#include "sila/sila_errors.h"
#include "sila/sila_server.h"
#include "sila/tls_material.h"
#include "sim/reader_simulator.h"
#include "tests/support/temp_home.h"

namespace silaservice = sila2::org::silastandard::core::silaservice::v1;
namespace prc = sila2::de::platovix::instruments::platereadercontroller::v1;
namespace cancelcontroller = sila2::org::silastandard::core::commands::cancelcontroller::v1;

struct SilaClient {
  explicit SilaClient(std::shared_ptr<grpc::Channel> channel)
      : channel(channel),
        service(silaservice::SiLAService::NewStub(channel)),
        reader(prc::PlateReaderController::NewStub(channel)),
        cancel(cancelcontroller::CancelController::NewStub(channel)) {}
  std::shared_ptr<grpc::Channel> channel;
  std::unique_ptr<silaservice::SiLAService::Stub> service;
  std::unique_ptr<prc::PlateReaderController::Stub> reader;
  std::unique_ptr<cancelcontroller::CancelController::Stub> cancel;
};

// The SiLAError a failed call carried; a test failure when it carried none.
inline silafw::SiLAError ErrorOf(const grpc::Status& status) {
  silafw::SiLAError error;
  EXPECT_TRUE(DecodeSilaError(status, &error))
      << "code " << status.error_code() << ": " << status.error_message();
  return error;
}

inline std::string DefinedErrorId(const grpc::Status& status) {
  return ErrorOf(status).definedexecutionerror().erroridentifier();
}

inline std::string ReaderErrorId(const std::string& name) {
  return std::string(kReaderFeatureId) + "/DefinedExecutionError/" + name;
}

class SilaServerTest : public ::testing::Test {
 protected:
  void TearDown() override {
    client_.reset();
    server_.reset();
    sim_.reset();
  }

  static sim::Options Reader(sim::Family family = sim::Family::DigiScan, int measureMs = 200) {
    sim::Options options;
    options.family = family;
    options.measureMs = measureMs;
    return options;
  }

  // Starts the simulator and the server on it; the client connects over TLS.
  void StartOnSimulator(const sim::Options& options) {
    sim_ = std::make_unique<sim::PtySimulator>(options);
    StartOnDevice(sim_->slavePath(), options.family == sim::Family::DigiScan ? 0 : 1);
  }

  void StartOnDevice(const std::string& device, int family) {
    ReaderLineOptions line;
    line.devicePath = device;
    line.family = family;
    std::string error;
    ASSERT_EQ(ResolveReaderDevice(line, &error), device) << error;
    identity_ = std::make_unique<ServerIdentity>(home_.string());
    TlsMaterial tls;
    ASSERT_TRUE(LoadOrCreateTlsMaterial(home_.string(), identity_->uuid(), &tls, &error)) << error;
    certificate_ = tls.certificatePem;
    SilaServerConfig config;
    config.listen = "127.0.0.1:0";
    config.certificatePem = tls.certificatePem;
    config.keyPem = tls.keyPem;
    config.archive = archive_;
    config.log = &log_;
    server_ = std::make_unique<SilaServer>(device, config, *identity_);
    ASSERT_TRUE(server_->Start(&error)) << error;
    client_ = std::make_unique<SilaClient>(NewChannel());
  }

  std::shared_ptr<grpc::Channel> NewChannel() const {
    return LocalTlsChannel(server_->port(), certificate_);
  }

  // Starts a measurement; its execution UUID.
  std::string StartMeasurement(int primary, int reference = 0, bool confirm = true) {
    prc::MeasurePlate_Parameters parameters;
    parameters.mutable_primarywavelength()->set_value(primary);
    parameters.mutable_referencewavelength()->set_value(reference);
    parameters.mutable_confirmplateloading()->set_value(confirm);
    silafw::CommandConfirmation confirmation;
    grpc::ClientContext context;
    const grpc::Status status = client_->reader->MeasurePlate(&context, parameters, &confirmation);
    EXPECT_TRUE(status.ok()) << status.error_message();
    EXPECT_GT(confirmation.lifetimeofexecution().seconds(), 0);
    return confirmation.commandexecutionuuid().value();
  }

  // Every ExecutionInfo of the execution until it ends.
  std::vector<silafw::ExecutionInfo> FollowInfo(SilaClient& client, const std::string& uuid) {
    silafw::CommandExecutionUUID id;
    id.set_value(uuid);
    grpc::ClientContext context;
    context.set_deadline(std::chrono::system_clock::now() + std::chrono::seconds(60));
    auto stream = client.reader->MeasurePlate_Info(&context, id);
    std::vector<silafw::ExecutionInfo> infos;
    silafw::ExecutionInfo info;
    while (stream->Read(&info)) infos.push_back(info);
    EXPECT_TRUE(stream->Finish().ok());
    return infos;
  }

  // Waits (generously) until the simulator has received the command.
  bool WaitForCommand(const std::string& command, int timeoutMs = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      for (const std::string& received : sim_->reader().Commands()) {
        if (received.rfind(command, 0) == 0) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  TempHome temp_{"sila"};
  const std::filesystem::path home_ = temp_.path();
  std::optional<archive::StoreConfig> archive_;  // set before starting to store reads
  std::ostringstream log_;                       // the server's log; read once it has stopped
  std::string certificate_;
  std::unique_ptr<sim::PtySimulator> sim_;
  std::unique_ptr<ServerIdentity> identity_;
  std::unique_ptr<SilaServer> server_;
  std::unique_ptr<SilaClient> client_;
};
