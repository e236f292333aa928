// A serial port whose far end is a script: the bytes the reader "sends" are
// queued up front (the link reads them in order, so replies to replies can be
// queued too), and everything the program writes is kept. When the script
// runs dry the port either stays silent like an idle line or fails like a
// pulled cable.
#pragma once

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "link/serial_port.h"

class ScriptedPort : public SerialPort {
 public:
  enum class WhenDry { kSilent, kHangUp };

  explicit ScriptedPort(std::string input = {}, WhenDry whenDry = WhenDry::kSilent)
      : input_(std::move(input)), whenDry_(whenDry) {}

  bool Read(void* buffer, size_t count, size_t* got) override {
    *got = 0;
    {
      std::lock_guard lock(mutex_);
      if (!input_.empty()) {
        *got = std::min(count, input_.size());
        std::memcpy(buffer, input_.data(), *got);
        input_.erase(0, *got);
        return true;
      }
      if (whenDry_ == WhenDry::kHangUp) {
        errno = EIO;
        return false;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(60));  // an idle line's read
    return true;
  }

  bool Write(const void* data, size_t count, size_t* written) override {
    std::lock_guard lock(mutex_);
    if (failWrites_) {
      *written = 0;
      errno = EIO;
      return false;
    }
    written_.append(static_cast<const char*>(data), count);
    *written = count;
    return true;
  }

  uint32_t TakeLineErrors() override {
    std::lock_guard lock(mutex_);
    const uint32_t mask = lineErrors_;
    lineErrors_ = 0;
    return mask;
  }

  void Purge() override {}

  void Feed(const std::string& bytes) {
    std::lock_guard lock(mutex_);
    input_ += bytes;
  }
  void SetLineErrors(uint32_t mask) {
    std::lock_guard lock(mutex_);
    lineErrors_ = mask;
  }
  void FailWrites() {
    std::lock_guard lock(mutex_);
    failWrites_ = true;
  }
  std::string Written() const {
    std::lock_guard lock(mutex_);
    return written_;
  }
  size_t Unread() const {
    std::lock_guard lock(mutex_);
    return input_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::string input_;
  std::string written_;
  WhenDry whenDry_;
  uint32_t lineErrors_ = 0;
  bool failWrites_ = false;
};
