// Text written through a stream, of which only the tail is kept: the trace
// of one read as the archive stores it. A reader that floods the line for
// an hour leaves at most twice the bound in memory and the bound in the
// record, with a comment line saying how much was left out.
#pragma once

#include <cstddef>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>

class BoundedText : private std::streambuf, public std::ostream {
 public:
  static constexpr size_t kDefaultBound = 1024 * 1024;

  explicit BoundedText(size_t bound = kDefaultBound);

  void Clear();
  // The last bound bytes from a line start, preceded by a '#' comment line
  // when the beginning was left out.
  std::string Text() const;

 protected:
  int overflow(int c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;

 private:
  void Append(const char* text, size_t count);

  const size_t bound_;
  mutable std::mutex mutex_;
  std::string text_;
  size_t dropped_ = 0;  // bytes cut from the front
};
