#include "archive/text_fold.h"

#include <locale.h>
#include <wctype.h>

namespace archive {

namespace {

// A UTF-8 character set for towlower_l, whatever the program's locale is.
locale_t UnicodeLocale() {
  static const locale_t locale = [] {
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
      if (locale_t found = newlocale(LC_CTYPE_MASK, name, nullptr)) return found;
    }
    return locale_t{};
  }();
  return locale;
}

// The code point at text[*at], moving *at past it; -1 for a byte that does
// not start a valid character (*at moves one byte).
long NextCodePoint(std::string_view text, size_t* at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char first = byte(*at);
  const int length = first < 0x80         ? 1
                     : (first >> 5) == 6  ? 2
                     : (first >> 4) == 14 ? 3
                     : (first >> 3) == 30 ? 4
                                          : 0;
  if (length == 0 || *at + length > text.size()) {
    ++*at;
    return -1;
  }
  long code = length == 1 ? first : first & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    if ((byte(*at + i) & 0xC0) != 0x80) {
      ++*at;
      return -1;
    }
    code = (code << 6) | (byte(*at + i) & 0x3F);
  }
  *at += length;
  return code;
}

void Append(long code, std::string* out) {
  if (code < 0x80) {
    *out += static_cast<char>(code);
  } else if (code < 0x800) {
    *out += static_cast<char>(0xC0 | (code >> 6));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out += static_cast<char>(0xE0 | (code >> 12));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (code >> 18));
    *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::string FoldedCase(std::string_view text) {
  std::string folded;
  folded.reserve(text.size());
  const locale_t locale = UnicodeLocale();
  for (size_t at = 0; at < text.size();) {
    const size_t start = at;
    const long code = NextCodePoint(text, &at);
    if (code < 0) {
      folded += text[start];
    } else if (code < 0x80) {
      folded += static_cast<char>(code >= 'A' && code <= 'Z' ? code - 'A' + 'a' : code);
    } else {
      const long lower = locale != locale_t{}
                             ? static_cast<long>(towlower_l(static_cast<wint_t>(code), locale))
                             : code;
      Append(lower, &folded);
    }
  }
  return folded;
}

}  // namespace archive
