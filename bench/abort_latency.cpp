// How fast the operator's abort takes effect: from setting the flag to the
// link throwing code 3, and to the completion 804 reaching the dialog (that
// includes the two 30 ms pauses around EOT). Each trial is one operation on
// a pseudo-terminal whose far end only acknowledges the opening; the abort
// comes at a random moment while the operation waits for a byte, or while
// it sits in a 4000 ms abortable wait.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_dialog.h"
#include "bench/bench_report.h"
#include "driver/foto.h"
#include "link/check_byte.h"
#include "link/posix_serial_port.h"

namespace {

using Clock = std::chrono::steady_clock;

// Lets the benchmark run its own body inside the operation frame.
class BenchDriver : public TRodeFoto {
 public:
  BenchDriver() : TRodeFoto(2, 0) {}
  using TRodeFoto::RunOperation;
};

struct Latency {
  double toThrowMs;
  double toCompletionMs;
};

struct Percentiles {
  double median, p99, max;
};

Percentiles Summarise(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const auto at = [&v](double q) {
    return v[std::min(v.size() - 1, static_cast<size_t>(q * v.size()))];
  };
  return {at(0.5), at(0.99), v.back()};
}

// One pseudo-terminal for all trials: the bench plays a reader that says ACK
// to the opening and then nothing.
class SilentReader {
 public:
  SilentReader() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    path_ = ptsname(master_);
  }
  ~SilentReader() {
    if (master_ >= 0) close(master_);
  }
  const std::string& path() const { return path_; }
  // Queues the ACK for the next opening and drops what the program sent.
  void Prepare() {
    char junk[256];
    const int flags = fcntl(master_, F_GETFL);
    fcntl(master_, F_SETFL, flags | O_NONBLOCK);
    while (read(master_, junk, sizeof junk) > 0) {
    }
    const char ack = ACK;
    if (write(master_, &ack, 1) != 1) std::perror("ack");
  }

 private:
  int master_ = -1;
  std::string path_;
};

Latency Trial(SerialPort& port, SilentReader& reader, bool inByteWait, std::mt19937& random) {
  reader.Prepare();
  BenchDriver driver;
  BenchDialog dialog;
  DialogHandle* dialogHandle = &dialog;
  PortHandle handle = &port;
  AbortFlag abort{0};
  std::atomic<bool> waiting{false};
  Clock::time_point thrownAt{};

  std::thread worker([&] {
    driver.RunOperation(&handle, &dialogHandle, &abort, [&] {
      waiting = true;
      try {
        if (inByteWait) {
          driver.ReadByte();
        } else {
          driver.WaitAbortable(4000);
        }
      } catch (const ESerExc&) {
        thrownAt = Clock::now();
        throw;
      }
    });
  });
  while (!waiting) std::this_thread::sleep_for(std::chrono::microseconds(200));
  // Anywhere within two read slices (or sleep steps) of the wait.
  std::this_thread::sleep_for(std::chrono::microseconds(random() % 120'000));
  const auto abortedAt = Clock::now();
  abort = 1;
  worker.join();
  const auto ms = [abortedAt](Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(t - abortedAt).count();
  };
  if (dialog.command() != kUserAborted) return {-1, -1};
  return {ms(thrownAt), ms(dialog.postedAt())};
}

std::string Format(const Percentiles& p) {
  char text[96];
  std::snprintf(text, sizeof text, "median %.1f, p99 %.1f, max %.1f ms", p.median, p.p99, p.max);
  return text;
}

}  // namespace

std::vector<BenchRow> AbortFigures(int trials) {
  SilentReader reader;
  int error = 0;
  auto port = PosixSerialPort::Open(reader.path(), LineSettings{}, &error);
  if (!port) return {{"abort latency", "cannot open a pseudo-terminal", "", false}};
  std::mt19937 random(8);
  std::vector<BenchRow> rows;
  for (bool inByteWait : {true, false}) {
    std::vector<double> toThrow, toCompletion;
    for (int i = 0; i < trials; ++i) {
      const Latency l = Trial(*port, reader, inByteWait, random);
      if (l.toThrowMs < 0) return {{"abort latency", "an abort did not end in 804", "", false}};
      toThrow.push_back(l.toThrowMs);
      toCompletion.push_back(l.toCompletionMs);
    }
    const std::string where = inByteWait ? "in a byte wait" : "in WaitAbortable(4000)";
    const Percentiles a = Summarise(toThrow), b = Summarise(toCompletion);
    rows.push_back({"abort to code 3, " + where, Format(a), "p99 < 70 ms", a.p99 < 70});
    rows.push_back({"abort to 804, " + where, Format(b), "p99 < 140 ms", b.p99 < 140});
  }
  return rows;
}
