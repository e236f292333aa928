// A plain program side for the simulator tests, written byte by byte so that
// a fault in the program's own link code cannot hide one in the simulator.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

class ByteClient {
 public:
  static constexpr char STX = 0x02, ETX = 0x03, EOT = 0x04, ENQ = 0x05, ACK = 0x06, NAK = 0x15;

  // variant 0: DigiScan check byte; 1: Jupiter / Expert.
  ByteClient(const std::string& path, int variant) : variant_(variant) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd_ >= 0) {
      termios t{};
      tcgetattr(fd_, &t);
      cfmakeraw(&t);
      tcsetattr(fd_, TCSANOW, &t);
    }
  }
  ~ByteClient() { Close(); }
  ByteClient(const ByteClient&) = delete;
  ByteClient& operator=(const ByteClient&) = delete;

  bool ok() const { return fd_ >= 0; }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

  static char Xor(const std::string& text) {
    char x = 0;
    for (char c : text) x = static_cast<char>(x ^ c);
    return x;
  }
  // Worked out here, not with the shared helper, so both sides are checked.
  char CheckByte(const std::string& text) const {
    const unsigned char x = static_cast<unsigned char>(Xor(text)) ^ 0x03;
    return static_cast<char>(variant_ != 0 ? x : static_cast<unsigned char>(~x));
  }
  std::string Frame(const std::string& text) const {
    return std::string(1, STX) + text + ETX + CheckByte(text);
  }

  void Write(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  }
  // Up to count bytes, or fewer when timeoutMs passes first.
  std::string Read(size_t count, int timeoutMs) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) break;
      char buffer[512];
      const ssize_t n = read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
      if (n <= 0) break;
      got.append(buffer, static_cast<size_t>(n));
    }
    return got;
  }
  int ReadByte(int timeoutMs = 1000) {
    const std::string b = Read(1, timeoutMs);
    return b.empty() ? -1 : static_cast<unsigned char>(b[0]);
  }

  bool Open(int timeoutMs = 1000) {
    Write(std::string{EOT, '2', '0', ENQ});
    return ReadByte(timeoutMs) == ACK;
  }
  // Sends a command frame; the reader's answer byte (-1 = none).
  int Send(const std::string& text, int timeoutMs = 1000) {
    Write(Frame(text));
    return ReadByte(timeoutMs);
  }

  // One reply frame: everything from the first byte up to and including the
  // check byte, unacknowledged. Empty when it did not come whole.
  std::string RawReply(int timeoutMs = 1000) {
    std::string raw;
    for (;;) {
      const int b = ReadByte(timeoutMs);
      if (b < 0) return "";
      raw += static_cast<char>(b);
      if (b == ETX) break;
    }
    const int check = ReadByte(timeoutMs);
    if (check < 0) return "";
    return raw + static_cast<char>(check);
  }
  // The text of a raw reply when its framing and full check byte are right.
  bool Parse(const std::string& raw, std::string* text) const {
    const size_t stx = raw.find(STX);
    if (stx == std::string::npos || raw.size() < stx + 3 || raw[raw.size() - 2] != ETX)
      return false;
    *text = raw.substr(stx + 1, raw.size() - stx - 3);
    return raw.back() == CheckByte(*text);
  }
  // Receives a reply, checks it and acknowledges it. "?" when bad or missing.
  std::string Reply(int timeoutMs = 1000) {
    std::string text;
    if (!Parse(RawReply(timeoutMs), &text)) return "?";
    Write(std::string(1, ACK));
    return text;
  }
  std::string Exchange(const std::string& command) {
    if (Send(command) != ACK) return "!";
    return Reply();
  }
  char Status() {
    const std::string q = Exchange("Q");
    return q.size() == 2 ? q[1] : '?';
  }
  // Polls "Q" until the status is not busy ('A') or two seconds pass.
  char WaitWhileBusy() {
    char status = '?';
    for (int i = 0; i < 100; ++i) {
      status = Status();
      if (status != 'A') break;
      usleep(20000);
    }
    return status;
  }
  void End() { Write(std::string(1, EOT)); }
  // True once the reader's end of the line has gone away.
  bool HungUp(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    return poll(&p, 1, timeoutMs) > 0 && (p.revents & (POLLHUP | POLLERR)) != 0;
  }

 private:
  int fd_ = -1;
  int variant_;
};
