#include "cli/bounded_text.h"

BoundedText::BoundedText(size_t bound) : std::ostream(this), bound_(bound) {}

void BoundedText::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  text_.clear();
  dropped_ = 0;
}

std::string BoundedText::Text() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (dropped_ == 0 && text_.size() <= bound_) return text_;
  size_t start = text_.size() - bound_;
  // A cut line would read as a different event: start at the next whole one.
  const size_t line = text_.find('\n', start);
  start = line == std::string::npos ? text_.size() : line + 1;
  return "# the first " + std::to_string(dropped_ + start) +
         " bytes of this trace are left out; the record keeps the last " + std::to_string(bound_) +
         " bytes\n" + text_.substr(start);
}

int BoundedText::overflow(int c) {
  if (c == std::char_traits<char>::eof()) return std::char_traits<char>::not_eof(c);
  const char byte = static_cast<char>(c);
  Append(&byte, 1);
  return c;
}

std::streamsize BoundedText::xsputn(const char* text, std::streamsize count) {
  Append(text, static_cast<size_t>(count));
  return count;
}

void BoundedText::Append(const char* text, size_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  text_.append(text, count);
  // Trimmed in large steps, so appending stays cheap.
  if (text_.size() > 2 * bound_) {
    const size_t cut = text_.size() - bound_;
    text_.erase(0, cut);
    dropped_ += cut;
  }
}
