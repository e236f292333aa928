#include "link/interval_timer.h"

#include <atomic>
#include <chrono>

namespace {

// Set once, at the first timer of the process (the dialog thread starts one
// before any worker exists). The monotonic clock counts in nanoseconds.
std::atomic<TickSource> tickSource{nullptr};
constexpr double kFrequency = 1e9;

int64_t CounterNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double ElapsedMsSince(int64_t counter, uint32_t ticks, bool* highResolution) {
  const TickSource source = tickSource.load(std::memory_order_relaxed);
  *highResolution = source == nullptr;
  if (source != nullptr) {
    return static_cast<uint32_t>(source() - ticks);  // unsigned: a wrap does no harm
  }
  return static_cast<double>(CounterNow() - counter) * 1000.0 / kFrequency;
}

}  // namespace

IntervalTimer::IntervalTimer() {
  const TickSource source = tickSource.load(std::memory_order_relaxed);
  if (source != nullptr) {
    ticks_ = source();
  } else {
    counter_ = CounterNow();
  }
}

bool IntervalTimer::IsElapsed(uint32_t ms) const {
  bool highResolution = true;
  const double elapsed = ElapsedMsSince(counter_, ticks_, &highResolution);
  return static_cast<double>(ms) < elapsed;
}

int IntervalTimer::ElapsedMs() const {
  bool highResolution = true;
  return static_cast<int>(ElapsedMsSince(counter_, ticks_, &highResolution));
}

void BusyWait(uint32_t ms) {
  IntervalTimer timer;
  while (!timer.IsElapsed(ms)) {
  }
}

void UseTickSourceForTesting(TickSource source) {
  tickSource.store(source, std::memory_order_relaxed);
}
