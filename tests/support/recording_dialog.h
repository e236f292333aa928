// A stand-in main dialog for driver tests: it keeps every status text and
// posted command in order, and answers the OK/Cancel question as told.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "driver/dialog_handle.h"
#include "driver/foto.h"

class RecordingDialog : public DialogHandle {
 public:
  ControlHandle GetDlgItem(int id) override {
    return id == kStatusLineId ? static_cast<ControlHandle>(&statusLine_) : nullptr;
  }

  bool SendTextTimeout(ControlHandle control, const std::string& text,
                       unsigned timeoutMs) override {
    std::unique_lock lock(mutex_);
    if (control != &statusLine_) return false;
    if (busy_) {  // the dialog's thread does not take it: drop it after the give-up
      lock.unlock();
      std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
      return false;
    }
    statusTexts_.push_back(text);
    return true;
  }

  void PostCommand(int id) override {
    std::lock_guard lock(mutex_);
    commands_.push_back(id);
    changed_.notify_all();
  }

  int AskOkCancel(const std::string& text, const std::string& caption) override {
    std::lock_guard lock(mutex_);
    questions_.push_back(caption + ": " + text);
    return answer_;
  }

  // Test side.
  void SetBusy(bool busy) {
    std::lock_guard lock(mutex_);
    busy_ = busy;
  }
  void SetAnswer(int answer) {
    std::lock_guard lock(mutex_);
    answer_ = answer;
  }
  std::vector<std::string> StatusTexts() const {
    std::lock_guard lock(mutex_);
    return statusTexts_;
  }
  std::string LastStatus() const {
    std::lock_guard lock(mutex_);
    return statusTexts_.empty() ? std::string() : statusTexts_.back();
  }
  std::vector<int> Commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
  }
  std::vector<std::string> Questions() const {
    std::lock_guard lock(mutex_);
    return questions_;
  }
  // Waits until a command has been posted; returns it, or 0 after timeout.
  int WaitForCommand(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return !commands_.empty(); });
    return commands_.empty() ? 0 : commands_.back();
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int statusLine_ = 0;
  bool busy_ = false;
  int answer_ = 1;
  std::vector<std::string> statusTexts_;
  std::vector<int> commands_;
  std::vector<std::string> questions_;
};
