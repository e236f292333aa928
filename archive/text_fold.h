// Lower case for searching, the same in both databases: every letter
// Unicode gives a lower case, not only A to Z. SQLite's own lower() and
// LIKE fold ASCII only, so the SQLite connection uses this one.
#pragma once

#include <string>
#include <string_view>

namespace archive {

// Each character's lower case; bytes that are not UTF-8 stay as they are.
std::string FoldedCase(std::string_view text);

}  // namespace archive
