#include "sila/measure_progress.h"

#include <algorithm>
#include <cstdio>

namespace {

// Before the reader has started, the whole read is guessed from the first
// status check (4 s) plus the talk around it.
constexpr double kFirstGuessSeconds = 6.0;
constexpr double kMeasuringStart = 0.1;
constexpr double kDataStart = 0.7;

}  // namespace

MeasureProgress::MeasureProgress(Clock::time_point start)
    : start_(start), remaining_(kFirstGuessSeconds) {}

bool MeasureProgress::Take(const std::string& status, Clock::time_point now) {
  double next = progress_;
  int count = 0, block = 0, blocks = 0;
  if (status == "connected") {
    next = 0.02;
  } else if (status == "filters") {
    next = 0.05;
  } else if (status == "measuring") {
    next = kMeasuringStart;
  } else if (std::sscanf(status.c_str(), "check(%d)", &count) == 1 && count > 0) {
    // Each check that finds the reader still busy closes half the gap.
    double share = 1.0;
    for (int i = 0; i < count && i < 30; ++i) share /= 2;
    next = kMeasuringStart + (kDataStart - kMeasuringStart) * (1.0 - share);
  } else if (status == "data ready") {
    next = kDataStart;
  } else if (std::sscanf(status.c_str(), "%d / %d", &block, &blocks) == 2 && blocks > 0) {
    next = kDataStart + (1.0 - kDataStart) * std::clamp(block, 0, blocks) / blocks;
  } else if (status == "success") {
    next = 1.0;
  }
  if (next <= progress_) return false;
  progress_ = std::min(next, 1.0);
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  if (progress_ >= 1.0) {
    remaining_ = 0;
  } else if (progress_ >= kMeasuringStart) {
    remaining_ = elapsed * (1.0 - progress_) / progress_;
  } else {
    remaining_ = std::max(kFirstGuessSeconds - elapsed, 0.5);
  }
  return true;
}
