// The SiLA server's figures against the simulator, in-process over TLS:
// what MeasurePlate adds to the same measurement through the driver, how
// fast Get_ properties answer while a measurement runs, and whether 50 Busy
// subscribers all see every change.
//   platovix_bench_sila [--runs N]     (default 5 of each, side by side)
#include <grpcpp/grpcpp.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "PlateReaderController.grpc.pb.h"
#include "SiLAService.grpc.pb.h"
#include "bench/bench_report.h"
#include "driver/reader_line.h"
#include "results/shared_state.h"
#include "sila/local_channel.h"
#include "sila/sila_server.h"
#include "sila/tls_material.h"
#include "sim/reader_simulator.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace prc = sila2::de::platovix::instruments::platereadercontroller::v1;
namespace silaservice = sila2::org::silastandard::core::silaservice::v1;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

struct Bench {
  sim::PtySimulator simulator{[] {
    sim::Options options;
    options.measureMs = 300;
    return options;
  }()};
  std::filesystem::path home;
  std::unique_ptr<ServerIdentity> identity;
  std::unique_ptr<SilaServer> server;
  std::string certificate;
  std::string device;

  Bench() {
    char pattern[] = "/tmp/platovix-sila-bench-XXXXXX";
    home = mkdtemp(pattern);
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    ReaderLineOptions line;
    line.devicePath = simulator.slavePath();
    line.family = 0;
    std::string error;
    device = ResolveReaderDevice(line, &error);
    identity = std::make_unique<ServerIdentity>(home.string());
    TlsMaterial tls;
    LoadOrCreateTlsMaterial(home.string(), identity->uuid(), &tls, &error);
    certificate = tls.certificatePem;
    SilaServerConfig config;
    config.listen = "127.0.0.1:0";
    config.certificatePem = tls.certificatePem;
    config.keyPem = tls.keyPem;
    server = std::make_unique<SilaServer>(device, config, *identity);
    if (!server->Start(&error)) std::fprintf(stderr, "%s\n", error.c_str());
  }
  ~Bench() {
    server.reset();
    std::filesystem::remove_all(home);
  }

  std::shared_ptr<grpc::Channel> Channel() const {
    return LocalTlsChannel(server->port(), certificate);
  }

  // One measurement through the driver directly, as the CLI runs it.
  Clock::duration DriverMeasurement() {
    ReaderSession session(device);
    session.TryClaim();
    int32_t values[96];
    const auto start = Clock::now();
    session.Run([&](TFoto& driver, PortHandle* port, DialogHandle** dialog,
                    AbortFlag* abort) { driver.Measure(port, dialog, abort, values, 450, 0); },
                nullptr, true);
    return Clock::now() - start;
  }

  // One measurement through the server: command, following its state to the
  // end, and the result.
  Clock::duration ServerMeasurement(prc::PlateReaderController::Stub& reader) {
    const auto start = Clock::now();
    prc::MeasurePlate_Parameters parameters;
    parameters.mutable_primarywavelength()->set_value(450);
    parameters.mutable_referencewavelength()->set_value(0);
    parameters.mutable_confirmplateloading()->set_value(true);
    sila2::org::silastandard::CommandConfirmation confirmation;
    {
      grpc::ClientContext context;
      reader.MeasurePlate(&context, parameters, &confirmation);
    }
    {
      grpc::ClientContext context;
      auto stream = reader.MeasurePlate_Info(&context, confirmation.commandexecutionuuid());
      sila2::org::silastandard::ExecutionInfo info;
      while (stream->Read(&info)) {
      }
      stream->Finish();
    }
    prc::MeasurePlate_Responses result;
    grpc::ClientContext context;
    reader.MeasurePlate_Result(&context, confirmation.commandexecutionuuid(), &result);
    return Clock::now() - start;
  }
};

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
  }
  Bench bench;
  auto channel = bench.Channel();
  auto reader = prc::PlateReaderController::NewStub(channel);
  auto service = silaservice::SiLAService::NewStub(channel);
  std::vector<BenchRow> rows;

  // Side by side, alternating, so that a busy machine hurts both alike; the
  // median of the paired differences keeps one slow run from deciding.
  std::vector<double> differences;
  double driverTotal = 0;
  for (int run = 0; run < runs; ++run) {
    const double direct = Ms(bench.DriverMeasurement());
    const double served = Ms(bench.ServerMeasurement(*reader));
    if (std::getenv("PLATOVIX_BENCH_VERBOSE") != nullptr)
      std::fprintf(stderr, "run %d: driver %.1f ms, server %.1f ms\n", run + 1, direct, served);
    differences.push_back(served - direct);
    driverTotal += direct;
  }
  std::sort(differences.begin(), differences.end());
  const double overhead = differences[differences.size() / 2];
  char text[128];
  std::snprintf(text, sizeof text, "%+.1f ms median (%+.0f..%+.0f; driver %.0f ms)", overhead,
                differences.front(), differences.back(), driverTotal / runs);
  rows.push_back({"MeasurePlate overhead over the driver", text, "< 20 ms", overhead < 20});

  // Get_ calls while a measurement runs.
  std::atomic<bool> measuring{true};
  std::thread measurement([&] {
    auto own = prc::PlateReaderController::NewStub(bench.Channel());
    bench.ServerMeasurement(*own);
    measuring = false;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  std::vector<double> latencies;
  while (measuring && latencies.size() < 20000) {
    const auto start = Clock::now();
    grpc::ClientContext context;
    if (latencies.size() % 2 == 0) {
      silaservice::Get_ServerName_Responses name;
      service->Get_ServerName(&context, {}, &name);
    } else {
      prc::Get_Filters_Responses filters;
      reader->Get_Filters(&context, {}, &filters);
    }
    latencies.push_back(Ms(Clock::now() - start));
  }
  measurement.join();
  std::sort(latencies.begin(), latencies.end());
  const double p99 = latencies.empty() ? 0 : latencies[latencies.size() * 99 / 100];
  std::snprintf(text, sizeof text, "%.2f ms p99 (%zu calls, median %.2f ms)", p99, latencies.size(),
                latencies.empty() ? 0 : latencies[latencies.size() / 2]);
  rows.push_back({"Get_ property call during a measurement", text, "p99 < 5 ms", p99 < 5});

  // 50 subscribers to Busy through two measurements: each must see
  // false, true, false, true, false.
  constexpr int kSubscribers = 50;
  std::vector<std::vector<bool>> seen(kSubscribers);
  std::vector<std::unique_ptr<grpc::ClientContext>> contexts;
  std::vector<std::thread> subscribers;
  std::atomic<int> ready{0};
  for (int i = 0; i < kSubscribers; ++i) {
    contexts.push_back(std::make_unique<grpc::ClientContext>());
    subscribers.emplace_back([&, i] {
      auto stream = reader->Subscribe_Busy(contexts[i].get(), {});
      prc::Subscribe_Busy_Responses update;
      bool first = true;
      while (stream->Read(&update)) {
        seen[i].push_back(update.busy().value());
        if (first) ++ready;
        first = false;
        if (seen[i].size() == 5) break;
      }
      contexts[i]->TryCancel();
      stream->Finish();
    });
  }
  while (ready < kSubscribers) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  bench.ServerMeasurement(*reader);
  bench.ServerMeasurement(*reader);
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (Clock::now() < deadline &&
         std::any_of(seen.begin(), seen.end(), [](const auto& s) { return s.size() < 5; }))
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  for (auto& context : contexts) context->TryCancel();
  for (auto& thread : subscribers) thread.join();
  const std::vector<bool> expected{false, true, false, true, false};
  const int complete = static_cast<int>(
      std::count_if(seen.begin(), seen.end(), [&](const auto& s) { return s == expected; }));
  std::snprintf(text, sizeof text, "%d of %d saw all 4 changes in order", complete, kSubscribers);
  rows.push_back({"50 Busy subscribers, 2 measurements", text, "all 50", complete == kSubscribers});

  std::printf("SiLA server, %d measurements of each kind against the simulated DigiScan.\n", runs);
  std::printf("%-52s %-44s %-12s %s\n", "figure", "measured", "goal", "");
  for (const BenchRow& row : rows) {
    std::printf("%-52s %-44s %-12s %s\n", row.figure.c_str(), row.measured.c_str(),
                row.goal.c_str(), row.met ? "met" : "MISSED");
  }
  return 0;
}
