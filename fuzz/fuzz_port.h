// A serial line whose far end is the fuzzer's input: every read hands out
// the next bytes; past the end the line either drops (reads fail with EIO)
// or stays silent (reads return nothing); writes are kept.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "driver/foto.h"
#include "link/serial_port.h"

class FuzzPort : public SerialPort {
 public:
  // abortAfterReads > 0 sets the abort flag once that many reads were made.
  FuzzPort(const uint8_t* data, size_t size, uint32_t lineErrors, AbortFlag* abort,
           int abortAfterReads, bool silentWhenDry)
      : data_(data),
        size_(size),
        lineErrors_(lineErrors),
        abort_(abort),
        abortAfterReads_(abortAfterReads),
        silentWhenDry_(silentWhenDry) {}

  bool Read(void* buffer, size_t count, size_t* got) override {
    *got = 0;
    if (abortAfterReads_ > 0 && ++reads_ >= abortAfterReads_) abort_->store(1);
    if (used_ == size_) {
      if (silentWhenDry_) return true;
      errno = EIO;
      return false;
    }
    // One byte at a time, as a slow line delivers them.
    if (count > 0) {
      static_cast<uint8_t*>(buffer)[0] = data_[used_++];
      *got = 1;
    }
    return true;
  }

  bool Write(const void* data, size_t count, size_t* written) override {
    written_.append(static_cast<const char*>(data), count);
    *written = count;
    return true;
  }

  uint32_t TakeLineErrors() override {
    const uint32_t mask = lineErrors_;
    lineErrors_ = 0;
    return mask;
  }

  void Purge() override {}

  const std::string& written() const { return written_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t used_ = 0;
  uint32_t lineErrors_;
  AbortFlag* abort_;
  int abortAfterReads_;
  bool silentWhenDry_;
  int reads_ = 0;
  std::string written_;
};
