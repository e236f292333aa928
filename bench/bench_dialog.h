// The main dialog as the benchmarks need it: takes every status text at
// once (a dialog that is never busy) and stamps the completion command with
// the time it was posted.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "driver/dialog_handle.h"
#include "driver/foto.h"

class BenchDialog : public DialogHandle {
 public:
  using Clock = std::chrono::steady_clock;

  ControlHandle GetDlgItem(int id) override { return id == kStatusLineId ? &statusLine_ : nullptr; }

  bool SendTextTimeout(ControlHandle, const std::string& text, unsigned) override {
    std::lock_guard lock(mutex_);
    texts_.push_back(text);
    return true;
  }

  void PostCommand(int id) override {
    postedAt_ = Clock::now();
    command_.store(id);
  }

  int AskOkCancel(const std::string&, const std::string&) override { return 1; }

  int command() const { return command_.load(); }
  Clock::time_point postedAt() const { return postedAt_; }
  std::vector<std::string> texts() const {
    std::lock_guard lock(mutex_);
    return texts_;
  }

 private:
  int statusLine_ = 0;
  mutable std::mutex mutex_;
  std::vector<std::string> texts_;
  std::atomic<int> command_{0};
  Clock::time_point postedAt_{};
};
