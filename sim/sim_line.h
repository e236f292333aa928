// The simulator's end of the byte stream: reads with a time limit that also
// watch the stop flag, and writes paced like a real line when asked to.
#pragma once

#include <atomic>
#include <chrono>
#include <string>

namespace sim {

class SimLine {
 public:
  enum class Got { Byte, Timeout, Stopped, HungUp };

  // Puts fd into non-blocking mode so that a full line never holds up Stop().
  // baud 0 sends as fast as the stream takes it.
  SimLine(int fd, int baud, const std::atomic<bool>& stop);

  int fd() const { return fd_; }
  void SetFd(int fd);

  // One byte; timeoutMs < 0 waits without limit (until stop or hang-up).
  Got Read(char* c, int timeoutMs);
  // False when the line is gone; a stop request cuts the write short.
  bool Write(const std::string& bytes);

 private:
  bool WriteNow(const char* data, size_t count);

  int fd_;
  std::chrono::microseconds perCharacter_;
  const std::atomic<bool>& stop_;
  std::chrono::steady_clock::time_point nextSend_{};
  char buffer_[256];
  size_t have_ = 0;
  size_t used_ = 0;
};

}  // namespace sim
