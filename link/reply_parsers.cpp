#include "link/reply_parsers.h"

#include <climits>
#include <cstdint>

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// White space as "%d" skips it (the C locale's isspace, without its
// signed-char pitfalls).
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The magnitude of INT_MIN: the largest magnitude an int can carry.
constexpr int64_t kMaxMagnitude = static_cast<int64_t>(INT_MAX) + 1;

int Signed(int64_t magnitude, bool negative) {
  if (negative) return magnitude >= kMaxMagnitude ? INT_MIN : static_cast<int>(-magnitude);
  return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

}  // namespace

// A digit run longer than an int can hold saturates at INT_MAX (or INT_MIN
// with a minus sign): a reader value that large is garbage either way, and
// the callers' range checks then reject it.
int ParseInt(const char* text, int maxChars, bool* noDigits) {
  if (maxChars == 0) maxChars = 255;
  int64_t magnitude = 0;
  bool negative = false;
  bool started = false;
  bool none = true;
  for (int i = 0; i < maxChars && text[i] != '\0'; ++i) {
    const char c = text[i];
    if (!started) {
      if (c == ' ') continue;  // only the blank: the reader pads with blanks
      if (c == '-') {
        negative = true;
      } else if (c != '+' && !IsDigit(c)) {
        break;
      }
      started = true;
      if (!IsDigit(c)) continue;
    } else if (!IsDigit(c)) {
      break;
    }
    none = false;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > kMaxMagnitude) magnitude = kMaxMagnitude;  // keeps it from overflowing
  }
  if (noDigits != nullptr) *noDigits = none;
  return Signed(magnitude, negative);
}

// Reads the integers as "%d" does (white space, optional sign, at least one
// digit), but by hand: sscanf's behaviour on a number beyond the int range is
// undefined. Such a number fails the whole parse instead, like a missing one:
// a filter list with a value no reader can hold is a garbled reply.
bool ParseSixInts(const char* text, int values[6]) {
  int read[6];
  const char* p = text;
  for (int& value : read) {
    while (IsSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (!IsDigit(*p)) return true;
    int64_t magnitude = 0;
    for (; IsDigit(*p); ++p) {
      magnitude = magnitude * 10 + (*p - '0');
      if (magnitude > kMaxMagnitude) return true;
    }
    if (!negative && magnitude > INT_MAX) return true;
    value = Signed(magnitude, negative);
  }
  for (int i = 0; i < 6; ++i) values[i] = read[i];
  return false;
}

const char* FindDigitRun(const char* text) {
  const char* runStart = nullptr;
  int runLength = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (!IsDigit(*p)) {
      runLength = 0;
      continue;
    }
    if (runLength == 0) runStart = p;
    if (++runLength == 5) return runStart;
  }
  return nullptr;
}

int FindFilterSlot(const int list[6], int wavelength) {
  for (int slot = 1; slot <= 6; ++slot) {
    if (list[slot - 1] != 0 && list[slot - 1] == wavelength) return slot;
  }
  return 0;
}
