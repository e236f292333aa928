#include "link/system_error.h"

#include <cerrno>
#include <cstring>

void FormatSystemError(char* buffer, size_t size, int code) {
  if (size == 0) return;
  buffer[0] = '\0';
  // GNU strerror_r may return a static text instead of filling the buffer.
  char scratch[512];
  const char* text = strerror_r(code, scratch, sizeof scratch);
  if (text == nullptr) return;
  const size_t length = std::strlen(text);
  if (length + 1 > size) return;  // does not fit: the empty text
  std::memcpy(buffer, text, length + 1);
}

void FormatLastError(char* buffer, size_t size) { FormatSystemError(buffer, size, errno); }
