#include "analysis_ui/layout_filling.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

using analysis::kLayoutColumns;
using analysis::kLayoutWells;
using analysis::PlateLayout;
using analysis::WellContent;
using analysis::WellRole;

namespace layout_filling {

namespace {

// The highest n of the names prefix + n outside the wells about to change,
// whatever their role: one name never stands for two groups.
int HighestNumber(const PlateLayout& layout, const std::vector<int>& changing,
                  const std::string& prefix) {
  int highest = 0;
  for (int well = 0; well < kLayoutWells; ++well) {
    const WellContent& content = layout.wells[well];
    if (content.name.rfind(prefix, 0) != 0) continue;
    if (std::find(changing.begin(), changing.end(), well) != changing.end()) continue;
    const std::string digits = content.name.substr(prefix.size());
    if (digits.empty() || digits.size() > 6 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      continue;
    }
    highest = std::max(highest, std::stoi(digits));
  }
  return highest;
}

// Six significant digits: 33.3333 in the file, not 33.333333333333336.
double Rounded(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return std::strtod(text, nullptr);
}

}  // namespace

std::vector<std::vector<int>> ReplicateGroups(const std::vector<int>& wells,
                                              const Grouping& grouping) {
  if (wells.empty()) return {};
  int top = kLayoutWells, bottom = 0, left = kLayoutColumns, right = 0;
  for (int well : wells) {
    top = std::min(top, well / kLayoutColumns);
    bottom = std::max(bottom, well / kLayoutColumns);
    left = std::min(left, well % kLayoutColumns);
    right = std::max(right, well % kLayoutColumns);
  }
  const int rows = bottom - top + 1, columns = right - left + 1;
  const int n = std::max(1, grouping.replicates);
  const auto ceilDiv = [](int a, int b) { return (a + b - 1) / b; };

  std::map<int, std::vector<int>> levels;
  std::vector<int> sorted = wells;
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  for (int well : sorted) {
    const int row = well / kLayoutColumns - top, column = well % kLayoutColumns - left;
    int level = 0;
    if (grouping.downTheRows && grouping.sideBySide) {
      level = (column / n) * rows + row;  // bands of n columns, each run down
    } else if (grouping.downTheRows) {
      level = column * ceilDiv(rows, n) + row / n;  // n rows per group, column by column
    } else if (grouping.sideBySide) {
      level = row * ceilDiv(columns, n) + column / n;  // n columns per group, row by row
    } else {
      level = (row / n) * columns + column;  // bands of n rows, each run along
    }
    levels[level].push_back(well);
  }
  std::vector<std::vector<int>> groups;
  for (auto& [level, members] : levels) groups.push_back(std::move(members));
  return groups;
}

void AssignRole(PlateLayout& layout, const std::vector<int>& wells, WellRole role,
                const Grouping& grouping) {
  const char* prefix = role == WellRole::Sample ? "S" : role == WellRole::Control ? "C" : nullptr;
  if (prefix == nullptr) {
    for (int well : wells) {
      layout.wells[well] = WellContent{};
      layout.wells[well].role = role;
    }
    return;
  }
  int next = HighestNumber(layout, wells, prefix) + 1;
  for (const std::vector<int>& group : ReplicateGroups(wells, grouping)) {
    const std::string name = prefix + std::to_string(next++);
    for (int well : group) {
      layout.wells[well] = WellContent{};
      layout.wells[well].role = role;
      layout.wells[well].name = name;
    }
  }
}

void FillDilutionSeries(PlateLayout& layout, const std::vector<int>& wells, double top,
                        double factor, const Grouping& grouping) {
  double concentration = top;
  for (const std::vector<int>& group : ReplicateGroups(wells, grouping)) {
    for (int well : group) {
      layout.wells[well] = WellContent{};
      layout.wells[well].role = WellRole::Standard;
      layout.wells[well].concentration = Rounded(concentration);
    }
    concentration /= factor;
  }
}

void FillStandardLevels(PlateLayout& layout, const std::vector<int>& wells,
                        const std::vector<double>& levels, const Grouping& grouping) {
  const std::vector<std::vector<int>> groups = ReplicateGroups(wells, grouping);
  for (std::size_t level = 0; level < groups.size() && level < levels.size(); ++level) {
    for (int well : groups[level]) {
      layout.wells[well] = WellContent{};
      layout.wells[well].role = WellRole::Standard;
      layout.wells[well].concentration = Rounded(levels[level]);
    }
  }
}

LevelList ParseLevels(const std::string& text) {
  LevelList list;
  std::string words = text;
  const bool semicolons = words.find(';') != std::string::npos;
  for (char& c : words) {
    if (c == ';') c = ' ';
    if (c == ',') c = semicolons ? '.' : ' ';
  }
  std::size_t at = 0;
  while (at < words.size()) {
    const std::size_t start = words.find_first_not_of(" \t", at);
    if (start == std::string::npos) break;
    const std::size_t end = std::min(words.find_first_of(" \t", start), words.size());
    const std::string word = words.substr(start, end - start);
    char* rest = nullptr;
    const double value = std::strtod(word.c_str(), &rest);
    if (rest == word.c_str() || *rest != '\0' || !(value >= 0) || value > 1e12) {
      list.bad = text.substr(start, end - start);
      list.levels.clear();
      return list;
    }
    list.levels.push_back(value);
    at = end;
  }
  return list;
}

std::string RoleLetter(WellRole role) {
  switch (role) {
    case WellRole::Blank:
      return "B";
    case WellRole::Standard:
      return "S";
    case WellRole::Sample:
      return "U";
    case WellRole::Control:
      return "C";
    case WellRole::Empty:
      break;
  }
  return "";
}

}  // namespace layout_filling
