#include "link/line_trace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "link/check_byte.h"
#include "link/trace_text.h"

namespace {

constexpr char kHeader[] =
    "# Platovix line trace. One event a line: <microseconds since the operation began> <event> "
    "[<data>].\n"
    "# > bytes to the reader, < bytes from it: STX ETX EOT ENQ ACK NAK by name, \"text\", 0xHH.\n";

// A line of received bytes never grows past this, whatever the reader sends.
constexpr size_t kLongestReceivedLine = 256;

bool LoneControl(char byte) {
  return byte == ACK || byte == NAK || byte == EOT || byte == ENQ;
}

// A frame is complete once the check byte after its ETX is there.
bool EndsFrame(const std::string& bytes) {
  const size_t etx = bytes.find(ETX);
  return etx != std::string::npos && bytes.size() > etx + 1;
}

}  // namespace

LineTrace::LineTrace(std::string path, std::uintmax_t rotateBytes)
    : path_(std::move(path)), rotateBytes_(rotateBytes), origin_(Clock::now()) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (path_ == "-") {
    fd_ = STDERR_FILENO;
    rotateBytes_ = 0;
    return;
  }
  Open();
}

LineTrace::LineTrace(std::ostream& out) : path_("-"), stream_(&out), origin_(Clock::now()) {}

LineTrace::~LineTrace() {
  std::lock_guard<std::mutex> lock(mutex_);
  FlushReceived();
  if (ownsFd_) close(fd_);
}

void LineTrace::Open() {
  fd_ = open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd_ < 0) return Fail(errno);
  ownsFd_ = true;
  struct stat st {};
  if (fstat(fd_, &st) != 0) return Fail(errno);
  size_ = static_cast<std::uintmax_t>(st.st_size);
  if (size_ == 0) WriteText(kHeader);
}

// The old trace becomes FILE.1 (replacing an older one); the new file starts
// with the header again.
void LineTrace::Rotate() {
  close(fd_);
  ownsFd_ = false;
  fd_ = -1;
  if (rename(path_.c_str(), (path_ + ".1").c_str()) != 0) return Fail(errno);
  Open();
}

void LineTrace::Fail(int error) {
  if (!on_) return;
  on_ = false;
  failure_ = std::strerror(error);
  if (ownsFd_) close(fd_);
  ownsFd_ = false;
  fd_ = -1;
}

bool LineTrace::IsOn() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return on_;
}

std::optional<std::string> LineTrace::TakeFailure() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!failure_ || failureTaken_) return std::nullopt;
  failureTaken_ = true;
  return failure_;
}

void LineTrace::Begin(std::string_view operation, std::string_view details) {
  std::lock_guard<std::mutex> lock(mutex_);
  FlushReceived();
  origin_ = Clock::now();
  std::string data(operation);
  if (!details.empty()) data += ' ' + std::string(details);
  WriteEvent(origin_, "begin", data);
}

void LineTrace::Sent(const void* data, size_t count) {
  const auto now = Clock::now();
  std::lock_guard<std::mutex> lock(mutex_);
  FlushReceived();
  WriteEvent(now, ">", TraceBytes({static_cast<const char*>(data), count}));
}

void LineTrace::Received(const void* data, size_t count) {
  const auto now = Clock::now();
  std::lock_guard<std::mutex> lock(mutex_);
  const auto* bytes = static_cast<const char*>(data);
  for (size_t i = 0; i < count; ++i) {
    if (received_.empty()) receivedAt_ = now;
    received_ += bytes[i];
    if ((received_.size() == 1 && LoneControl(received_[0])) || EndsFrame(received_) ||
        received_.size() >= kLongestReceivedLine) {
      FlushReceived();
    }
  }
}

void LineTrace::Quiet() {
  std::lock_guard<std::mutex> lock(mutex_);
  FlushReceived();
}

void LineTrace::Note(std::string_view event, std::string_view data) {
  const auto now = Clock::now();
  std::lock_guard<std::mutex> lock(mutex_);
  FlushReceived();
  WriteEvent(now, event, data);
}

void LineTrace::FlushReceived() {
  if (received_.empty()) return;
  WriteEvent(receivedAt_, "<", TraceBytes(received_));
  received_.clear();
}

void LineTrace::WriteEvent(Clock::time_point when, std::string_view event, std::string_view data) {
  if (!on_) return;
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(when - origin_).count();
  std::string line = std::to_string(us < 0 ? 0 : us) + ' ' + std::string(event);
  if (!data.empty()) line += ' ' + std::string(data);
  line += '\n';
  if (rotateBytes_ > 0 && size_ > 0 && size_ + line.size() > rotateBytes_) {
    Rotate();
    if (!on_) return;
  }
  WriteText(line);
}

void LineTrace::WriteText(const std::string& text) {
  if (stream_ != nullptr) {
    *stream_ << text << std::flush;
    if (!*stream_) Fail(EIO);
    return;
  }
  if (WriteToFd(text)) size_ += text.size();
}

// Unbuffered: a line is in the file once written, whatever becomes of us.
bool LineTrace::WriteToFd(const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd_, text.data() + done, text.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    Fail(n < 0 ? errno : ENOSPC);
    return false;
  }
  return true;
}
