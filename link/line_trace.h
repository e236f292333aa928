// The line trace: what went over the reader line, for the day a real
// instrument does something the program does not expect. One event a line:
//
//   <µs since the operation began> <event> [<data>]
//
//   begin <operation> [key=value ...]   an operation starts; its clock starts at 0
//   > <bytes>                           the program wrote these bytes
//   < <bytes>                           the program read these bytes
//   status <text>                       a status-line text of the program
//   ask <text> / answer ok|cancel       the plate question and its answer
//   done <id>                           the completion command (801 ... 807)
//   error <text>                        a read or write of the port failed
//   line-errors <mask>                  the port reported line errors
//   purge                               both queues of the port were emptied
//
// Bytes and texts are written as trace_text.h describes. Bytes read in a row
// share a line, which ends with a frame's check byte, with a lone control
// character or when the line goes quiet. Lines starting with '#' are comments.
// Every line goes to the file as it is complete, so a program that dies
// leaves the trace up to that moment. The file is rotated at a size bound
// (the old one becomes FILE.1); a file that cannot be written switches the
// trace off, and the reason can be asked for once.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

class LineTrace {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::uintmax_t kRotateBytes = 10u * 1024 * 1024;

  // Appends to the file at path ("-": standard error).
  explicit LineTrace(std::string path, std::uintmax_t rotateBytes = kRotateBytes);
  // Writes to a stream that someone else owns (no rotation).
  explicit LineTrace(std::ostream& out);
  ~LineTrace();
  LineTrace(const LineTrace&) = delete;
  LineTrace& operator=(const LineTrace&) = delete;

  void Begin(std::string_view operation, std::string_view details);
  void Sent(const void* data, size_t count);
  void Received(const void* data, size_t count);
  // A read found nothing: the bytes read so far make one line.
  void Quiet();
  // Any other event; data is written as it stands.
  void Note(std::string_view event, std::string_view data);

  bool IsOn() const;
  const std::string& path() const { return path_; }
  // Why the trace switched itself off, the first time it is asked after it
  // happened; nothing otherwise.
  std::optional<std::string> TakeFailure();

 private:
  void Open();
  void Rotate();
  void Fail(int error);
  void FlushReceived();
  void WriteEvent(Clock::time_point when, std::string_view event, std::string_view data);
  void WriteText(const std::string& text);
  bool WriteToFd(const std::string& text);

  mutable std::mutex mutex_;
  std::string path_;
  std::uintmax_t rotateBytes_ = 0;
  std::ostream* stream_ = nullptr;
  int fd_ = -1;
  bool ownsFd_ = false;
  std::uintmax_t size_ = 0;
  bool on_ = true;
  std::optional<std::string> failure_;
  bool failureTaken_ = false;
  Clock::time_point origin_;
  std::string received_;  // bytes read in a row, not yet written
  Clock::time_point receivedAt_;
};
