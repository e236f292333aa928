#include "sim/replay_main.h"

#include <atomic>
#include <cstdio>
#include <iostream>
#include <stdexcept>

#include "sim/pty_host.h"
#include "sim/reader_family.h"
#include "sim/replay_server.h"
#include "sim/stop_signals.h"

namespace sim {

namespace {

std::atomic<bool> gStop{false};

void OnSignal(int) {
  gStop = true;  // lock-free: safe here
}

}  // namespace

int RunReplay(const std::string& tracePath, bool strict, const std::string& linkPath) {
  ReplayScript script;
  try {
    script = BuildReplayScript(LoadTrace(tracePath));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "platovix-sim: %s\n", e.what());
    return 2;
  }
  if (script.operations.empty()) {
    std::fprintf(stderr, "platovix-sim: %s holds no operation\n", tracePath.c_str());
    return 2;
  }
  PtyHost host;
  std::string error;
  if (!host.Open(linkPath, &error)) {
    std::fprintf(stderr, "platovix-sim: %s\n", error.c_str());
    return 2;
  }
  CatchStopSignals(OnSignal);

  std::printf("%s\n", host.farEnd().c_str());
  std::fflush(stdout);
  std::fprintf(stderr, "platovix-sim: replaying %zu operation(s) of %s%s on %s\n",
               script.operations.size(), tracePath.c_str(), strict ? " strictly" : "",
               host.farEnd().c_str());
  ReplayServer server(std::move(script), strict, std::cerr);
  return server.Serve(host.master(), gStop) ? 0 : 1;
}

}  // namespace sim
