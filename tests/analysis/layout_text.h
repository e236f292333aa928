// Layout files for tests, written cell by cell the way a spreadsheet
// would save them.
#pragma once

#include <map>
#include <string>

namespace layout_text {

// One plate-shaped block; cells maps "C5" to its text, every other cell empty.
inline std::string Block(const std::string& name, const std::map<std::string, std::string>& cells,
                         char separator = ',') {
  std::string text = name;
  for (int column = 1; column <= 12; ++column) text += separator + std::to_string(column);
  text += '\n';
  for (char row = 'A'; row <= 'H'; ++row) {
    text += row;
    for (int column = 1; column <= 12; ++column) {
      text += separator;
      const auto it = cells.find(row + std::to_string(column));
      if (it != cells.end()) text += it->second;
    }
    text += '\n';
  }
  return text;
}

}  // namespace layout_text
