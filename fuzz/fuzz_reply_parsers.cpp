// The small readers of reply texts against arbitrary texts: they stay inside
// the text, and what they report agrees with the text.
//
// Input: one byte for ParseInt's character limit, then the reply text.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "link/check_byte.h"
#include "link/reply_parsers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int maxChars = data[0];
  // The replies sit NUL-terminated in the frame buffer, at most 1022 long.
  const std::string text(reinterpret_cast<const char*>(data + 1), std::min<size_t>(size - 1, 1022));
  const char* c = text.c_str();
  const size_t length = std::strlen(c);

  bool noDigits = false;
  const int value = ParseInt(c, maxChars, &noDigits);
  if (noDigits) FUZZ_CHECK(value == 0);
  ParseInt(c, maxChars);  // without the flag pointer

  int values[6] = {11, 22, 33, 44, 55, 66};
  if (ParseSixInts(c, values)) {
    const int untouched[6] = {11, 22, 33, 44, 55, 66};
    FUZZ_CHECK(std::memcmp(values, untouched, sizeof values) == 0);
  }

  const char* run = FindDigitRun(c);
  if (run != nullptr) {
    FUZZ_CHECK(run >= c && run + 5 <= c + length);
    for (int i = 0; i < 5; ++i) FUZZ_CHECK(std::isdigit(static_cast<unsigned char>(run[i])));
    FUZZ_CHECK(run == c || !std::isdigit(static_cast<unsigned char>(run[-1])));
  }

  int list[6] = {};
  for (int i = 0; i < 6 && i < static_cast<int>(length); ++i)
    list[i] = static_cast<signed char>(c[i]) * 3;
  const int slot = FindFilterSlot(list, value);
  FUZZ_CHECK(slot >= 0 && slot <= 6);
  if (slot != 0) FUZZ_CHECK(list[slot - 1] == value && value != 0);
  FUZZ_CHECK(FindFilterSlot(list, 0) == 0);

  char x = XorBytes(c, 0);
  FUZZ_CHECK(x == XorBytes(c, length) || length == 0);
  return 0;
}
