#include "ui/dialog_integer.h"

#include <charconv>

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

bool ParseDialogInteger(std::string_view text, int* value) {
  size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  // from_chars takes a minus sign but no plus sign, which is what we want.
  int parsed = 0;
  const auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), parsed);
  if (error != std::errc()) return false;
  for (const char* p = end; p != text.data() + text.size(); ++p) {
    if (!IsBlank(*p)) return false;
  }
  *value = parsed;
  return true;
}
