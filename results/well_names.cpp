#include "results/well_names.h"

std::string PlateWellName(int well) {
  if (well < 0 || well >= kWells) return {};
  return static_cast<char>('A' + well / kColumns) + std::to_string(well % kColumns + 1);
}

int PlateWellOfName(std::string_view name) {
  if (name.size() < 2 || name.size() > 3 || name[0] < 'A' || name[0] >= 'A' + kRows) return -1;
  int column = 0;
  for (char c : name.substr(1)) {
    if (c < '0' || c > '9') return -1;
    column = column * 10 + (c - '0');
  }
  if (column < 1 || column > kColumns || name[1] == '0') return -1;
  return (name[0] - 'A') * kColumns + column - 1;
}

std::vector<std::string> OverRangeWellNames(const uint8_t (&overRange)[kWells]) {
  std::vector<std::string> names;
  for (int well = 0; well < kWells; ++well) {
    if (overRange[well] != 0) names.push_back(PlateWellName(well));
  }
  return names;
}

std::vector<std::string> NoValueWellNames(const TPlateResult& plate) {
  std::vector<std::string> names;
  for (int well = 0; well < kWells; ++well) {
    if (plate.nValue[well] == kNoValue && plate.bOverRange[well] == 0)
      names.push_back(PlateWellName(well));
  }
  return names;
}
