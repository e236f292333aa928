// A small ELISA for tests: blanks A1/B1, standards 0..100 in duplicate in
// columns 2 and 3, samples S1..S4 in columns 4/5, a control QC in H6. The
// 450 nm readings follow a 4PL; the 620 nm reference reads 45 everywhere.
// Asked for, G12 and H12 read beyond the DigiScan's range: wells without a
// value.
#pragma once

#include <array>
#include <cmath>
#include <map>
#include <sstream>
#include <string>

#include "tests/analysis/layout_text.h"

namespace elisa_plate {

inline constexpr double kLevels[8] = {0, 1.5625, 3.125, 6.25, 12.5, 25, 50, 100};
inline constexpr double kSamples[4] = {2, 9, 30, 70};
inline constexpr int kReference = 45;
inline constexpr int kBeyondRange = 5000;

inline int Reading(double concentration) {
  const double od = 2.8 + (0.02 - 2.8) / (1 + std::pow(concentration / 20, 1.2));
  return static_cast<int>(std::lround((0.095 + od) * 1000));
}

// The 450 nm readings, row-major.
inline std::array<int, 96> Primary(bool noValueWells) {
  std::array<int, 96> primary;
  primary.fill(300);
  primary[0] = primary[12] = 95;
  for (int level = 0; level < 8; ++level)
    primary[level * 12 + 1] = primary[level * 12 + 2] = Reading(kLevels[level]);
  for (int s = 0; s < 4; ++s) primary[s * 12 + 3] = primary[s * 12 + 4] = Reading(kSamples[s]);
  primary[7 * 12 + 5] = Reading(20);
  if (noValueWells) primary[6 * 12 + 11] = primary[7 * 12 + 11] = kBeyondRange;
  return primary;
}

// The simulator's plate file (sim/plate_model.h).
inline std::string PlateFile(bool noValueWells) {
  const auto primary = Primary(noValueWells);
  std::string text = "wavelength 450\n";
  for (int row = 0; row < 8; ++row) {
    for (int column = 0; column < 12; ++column)
      text += std::to_string(primary[row * 12 + column]) + " ";
    text += "\n";
  }
  text += "wavelength 620\n";
  for (int row = 0; row < 8; ++row) {
    for (int column = 0; column < 12; ++column) text += std::to_string(kReference) + " ";
    text += "\n";
  }
  return text;
}

inline std::string LayoutFile() {
  using layout_text::Block;
  std::map<std::string, std::string> roles{{"A1", "blank"}, {"B1", "blank"}, {"H6", "control"}};
  std::map<std::string, std::string> names{{"H6", "QC"}}, concentrations;
  for (int level = 0; level < 8; ++level) {
    const std::string row(1, static_cast<char>('A' + level));
    for (const char* column : {"2", "3"}) {
      roles[row + column] = "standard";
      std::ostringstream text;
      text << kLevels[level];
      concentrations[row + column] = text.str();
    }
  }
  for (int s = 0; s < 4; ++s) {
    const std::string row(1, static_cast<char>('A' + s));
    for (const char* column : {"4", "5"}) {
      roles[row + column] = "sample";
      names[row + column] = "S" + std::to_string(s + 1);
    }
  }
  return Block("Role", roles) + "\n" + Block("Name", names) + "\n" +
         Block("Concentration", concentrations) + "\n" + Block("Range", {{"H6", "18-22"}});
}

}  // namespace elisa_plate
