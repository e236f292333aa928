// Measurement time against the floor the protocol itself sets.
//
// The floor of one measurement is what no implementation can avoid: the
// 30 ms quiet line before every frame and around EOT, the plain 300 ms
// sleeps before each idle query, the abortable waits in whole 60 ms steps
// that end at the first step past their time (4000 ms before the first
// measurement query is 4020 ms, 700 ms is 720; 300 and 250 ms in plate
// loading are both 300, as five steps already take a little over 300 ms), and every byte's time on
// the wire in both directions (start bit, 7 data bits, parity, 2 stop bits
// at 9600 baud: the reader's default line). The simulator answers at once
// (its own delays are zero) but no faster than that line.
//
// The waits actually taken are read back from the conversation: the
// simulator's log of commands and the status texts of the run.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_dialog.h"
#include "bench/bench_report.h"
#include "bench/paced_port.h"
#include "driver/foto.h"
#include "link/posix_serial_port.h"
#include "sim/reader_simulator.h"

namespace {

constexpr int kBaud = 9600;
constexpr int kBitsPerCharacter = 11;  // 7E2
constexpr double kFrameMs = 30;        // quiet line before every frame and around EOT

struct Run {
  double wallMs = 0;
  double floorMs = 0;
  double cpuMs = 0;
  double busyMs = 0;
  bool ok = false;
};

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The largest n of the status texts "<prefix>n)".
int LastCount(const std::vector<std::string>& texts, const std::string& prefix) {
  int last = 0;
  for (const std::string& t : texts) {
    if (t.rfind(prefix, 0) == 0) last = std::max(last, std::atoi(t.c_str() + prefix.size()));
  }
  return last;
}

// Idle queries before identification ("Q" between the first "E" and the
// model or identification query), each after a plain 300 ms sleep.
int IdleQueries(const std::vector<std::string>& commands) {
  int queries = 0;
  for (size_t i = 1; i < commands.size(); ++i) {
    if (commands[i] == "F" || commands[i] == "Ap") break;
    if (commands[i] == "Q") ++queries;
  }
  return queries;
}

Run MeasureOnce(sim::Family family, bool withReference) {
  sim::Options options;
  options.family = family;
  options.measureMs = options.moveMs = options.calibrateMs = 0;
  options.baud = kBaud * kBitsPerCharacter / 11;  // the simulator counts 11 bits a character
  sim::PtySimulator simulator(options);

  int error = 0;
  auto line = PosixSerialPort::Open(simulator.slavePath(), LineSettings{}, &error);
  if (!line) return {};
  const auto perCharacter = std::chrono::nanoseconds(1'000'000'000LL * kBitsPerCharacter / kBaud);
  PacedPort port(*line, perCharacter);
  PortHandle handle = &port;
  BenchDialog dialog;
  DialogHandle* dialogHandle = &dialog;
  AbortFlag abort{0};
  TRodeFoto driver(2, family == sim::Family::DigiScan ? 0 : 1);
  int32_t values[96];

  Run run;
  const auto start = BenchDialog::Clock::now();
  std::thread worker([&] {
    const double cpuStart = ThreadCpuMs();
    driver.Measure(&handle, &dialogHandle, &abort, values, 405, withReference ? 620 : 0);
    run.cpuMs = ThreadCpuMs() - cpuStart;
  });
  worker.join();
  run.wallMs = std::chrono::duration<double, std::milli>(dialog.postedAt() - start).count();
  run.ok = dialog.command() == kMeasureDone;

  const std::vector<std::string> commands = simulator.reader().Commands();
  const std::vector<std::string> texts = dialog.texts();
  const double frames = 1 + static_cast<double>(commands.size());  // the opening, then commands
  run.busyMs = kFrameMs * (frames + 2);                            // + the pauses around EOT
  const int checks = LastCount(texts, "check(");
  const int plateTests = LastCount(texts, "ready test (");
  double waitsMs = 300.0 * IdleQueries(commands);
  if (plateTests > 0) waitsMs += 300.0 * plateTests;
  if (checks > 0) waitsMs += 4020 + 720.0 * (checks - 1);
  const double wireMs = static_cast<double>(port.bytesIn() + port.bytesOut()) *
                        std::chrono::duration<double, std::milli>(perCharacter).count();
  run.floorMs = run.busyMs + waitsMs + wireMs;
  return run;
}

std::string Format(const char* format, double a, double b = 0, double c = 0) {
  char text[128];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

}  // namespace

std::vector<BenchRow> MeasurementFigures(int runs) {
  std::vector<BenchRow> rows;
  const std::pair<sim::Family, const char*> families[] = {{sim::Family::DigiScan, "DigiScan"},
                                                          {sim::Family::Jupiter, "Jupiter"},
                                                          {sim::Family::Expert, "Expert"}};
  std::vector<BenchRow> cpuRows;
  for (const auto& [family, name] : families) {
    for (bool reference : {false, true}) {
      double worstRatio = 0, wall = 0, floor = 0, worstCpu = 0;
      bool ok = true;
      for (int i = 0; i < runs; ++i) {
        const Run run = MeasureOnce(family, reference);
        ok = ok && run.ok;
        if (run.wallMs / run.floorMs > worstRatio) {
          worstRatio = run.wallMs / run.floorMs;
          wall = run.wallMs;
          floor = run.floorMs;
        }
        worstCpu = std::max(worstCpu, run.cpuMs / run.busyMs);
      }
      const std::string label = std::string(name) + (reference ? " with reference" : "");
      rows.push_back({"measurement time / floor, " + label,
                      ok ? Format("%.3f (%.0f / %.0f ms)", worstRatio, wall, floor) : "FAILED",
                      "<= 1.030", ok && worstRatio <= 1.03});
      cpuRows.push_back({"CPU / mandated busy wait, " + label, Format("%.3f", worstCpu), "< 1.10",
                         ok && worstCpu < 1.10});
    }
  }
  rows.insert(rows.end(), cpuRows.begin(), cpuRows.end());
  return rows;
}
