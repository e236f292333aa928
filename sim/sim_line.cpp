#include "sim/sim_line.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace sim {

namespace {

// Longest single wait, so that Stop() is seen promptly.
constexpr int kSliceMs = 50;

}  // namespace

SimLine::SimLine(int fd, int baud, const std::atomic<bool>& stop)
    // 7E2 puts 11 bits (8N1 puts 10) on the wire per character.
    : fd_(-1), perCharacter_(baud > 0 ? 11'000'000 / baud : 0), stop_(stop) {
  SetFd(fd);
}

void SimLine::SetFd(int fd) {
  fd_ = fd;
  have_ = used_ = 0;
  const int flags = fcntl(fd_, F_GETFL);
  if (flags >= 0) fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
}

SimLine::Got SimLine::Read(char* c, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (used_ == have_) {
    if (stop_) return Got::Stopped;
    int wait = kSliceMs;
    if (timeoutMs >= 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) return Got::Timeout;
      wait = static_cast<int>(std::min<long long>(left, kSliceMs));
    }
    pollfd p{fd_, POLLIN, 0};
    const int ready = poll(&p, 1, wait);
    if (ready < 0 && errno != EINTR) return Got::HungUp;
    if (ready <= 0) continue;
    if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
      // Read even on a hang-up: the last bytes (often EOT) may still be there.
      const ssize_t n = read(fd_, buffer_, sizeof buffer_);
      if (n > 0) {
        have_ = static_cast<size_t>(n);
        used_ = 0;
        break;
      }
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      return Got::HungUp;  // EOF, or EIO from a pty nobody holds open
    }
    if (p.revents & POLLNVAL) return Got::HungUp;
  }
  *c = buffer_[used_++];
  return Got::Byte;
}

bool SimLine::Write(const std::string& bytes) {
  if (perCharacter_.count() == 0) return WriteNow(bytes.data(), bytes.size());
  for (char c : bytes) {
    // Never faster than the line: each character waits for its slot.
    const auto now = std::chrono::steady_clock::now();
    if (nextSend_ > now) std::this_thread::sleep_until(nextSend_);
    if (stop_) return false;
    nextSend_ = std::max(now, nextSend_) + perCharacter_;
    if (!WriteNow(&c, 1)) return false;
  }
  return true;
}

bool SimLine::WriteNow(const char* data, size_t count) {
  size_t done = 0;
  while (done < count) {
    if (stop_) return false;
    const ssize_t n = write(fd_, data + done, count - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd p{fd_, POLLOUT, 0};
      poll(&p, 1, kSliceMs);
      continue;
    }
    return false;
  }
  return true;
}

}  // namespace sim
