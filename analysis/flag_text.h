// A well's or a group's flags as the tables and exports write them.
#pragma once

#include <span>
#include <string>
#include <utility>

namespace analysis {

// The words of each flag set, in the order of texts, "; " between them.
inline std::string FlagText(unsigned flags,
                            std::span<const std::pair<unsigned, const char*>> texts) {
  std::string text;
  for (const auto& [flag, words] : texts) {
    if ((flags & flag) == 0) continue;
    if (!text.empty()) text += "; ";
    text += words;
  }
  return text;
}

}  // namespace analysis
