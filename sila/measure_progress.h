// Progress and remaining time of a plate measurement, estimated from the
// phases the driver shows in the status line: connecting, filters, the
// plate request, the reader measuring (asked every 0.7 s after 4 s), and
// the data blocks "k / n".
#pragma once

#include <chrono>
#include <string>

class MeasureProgress {
 public:
  using Clock = std::chrono::steady_clock;

  explicit MeasureProgress(Clock::time_point start = Clock::now());

  // Takes the next status text; true when the estimate moved.
  bool Take(const std::string& status, Clock::time_point now = Clock::now());

  double progress() const { return progress_; }  // 0..1
  double remainingSeconds() const { return remaining_; }

 private:
  Clock::time_point start_;
  double progress_ = 0;
  double remaining_;
};
