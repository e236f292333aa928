// A serial port that behaves like a real line toward the reader: a pseudo-
// terminal delivers the program's bytes at once, a UART takes its time over
// each, so every write here lasts as long as its bytes take on the wire.
// It also counts the bytes that go each way for the protocol's floor.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <thread>

#include "link/serial_port.h"

class PacedPort : public SerialPort {
 public:
  PacedPort(SerialPort& line, std::chrono::nanoseconds perCharacter)
      : line_(line), perCharacter_(perCharacter) {}

  bool Read(void* buffer, size_t count, size_t* got) override {
    const bool ok = line_.Read(buffer, count, got);
    bytesIn_ += *got;
    return ok;
  }

  // The reader has the frame only once its last bit is through: wait the
  // wire time first, so its answer cannot start early.
  bool Write(const void* data, size_t count, size_t* written) override {
    std::this_thread::sleep_for(perCharacter_ * static_cast<int64_t>(count));
    const bool ok = line_.Write(data, count, written);
    bytesOut_ += *written;
    return ok;
  }

  uint32_t TakeLineErrors() override { return line_.TakeLineErrors(); }
  void Purge() override { line_.Purge(); }

  uint64_t bytesIn() const { return bytesIn_; }
  uint64_t bytesOut() const { return bytesOut_; }

 private:
  SerialPort& line_;
  std::chrono::nanoseconds perCharacter_;
  uint64_t bytesIn_ = 0;
  uint64_t bytesOut_ = 0;
};
