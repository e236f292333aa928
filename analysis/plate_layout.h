// What each well of a plate holds: the plate layout. It is read from and
// written to a plate-shaped CSV that people keep in a spreadsheet: one
// block per attribute (Role, Name, Concentration, Dilution, Unit, Range),
// the attribute's name in the block's top-left cell, the header 1..12 and
// the rows A..H, blocks apart by a blank line.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace analysis {

inline constexpr int kLayoutRows = 8;
inline constexpr int kLayoutColumns = 12;
inline constexpr int kLayoutWells = kLayoutRows * kLayoutColumns;

enum class WellRole { Empty, Blank, Standard, Sample, Control };

// "blank", "standard", "sample", "control"; "" for an empty well.
const char* WellRoleName(WellRole role);

// A control's accepted concentration (or, on a plate without standards,
// blank-corrected absorbance), both ends included.
struct ExpectedRange {
  double low = 0;
  double high = 0;
  bool operator==(const ExpectedRange&) const = default;
};

struct WellContent {
  WellRole role = WellRole::Empty;
  // Samples and controls: wells of one role with the same name are
  // replicates. Standards may carry a name; their level is the concentration.
  std::string name;
  std::optional<double> concentration;  // standards only, >= 0
  std::optional<double> dilution;       // samples and controls; unset = undiluted
  std::optional<ExpectedRange> range;   // controls only
  bool operator==(const WellContent&) const = default;
};

struct PlateLayout {
  std::array<WellContent, kLayoutWells> wells;  // row-major A1..A12, B1..H12
  std::string unit;                             // of every concentration; may be empty
  bool operator==(const PlateLayout&) const = default;
};

struct LayoutParse {
  bool ok = false;
  PlateLayout layout;
  std::string error;  // one line naming the block, row and column, and what is wrong
};

// Reads a layout file's text. Comma or semicolon separated (with
// semicolons a decimal comma is accepted); role names in any letter case.
// Nothing is guessed: anything the rules do not cover is an error.
LayoutParse ParseLayout(std::string_view text);

// The layout in the same form, comma separated; only the blocks it needs.
// ParseLayout(WriteLayout(l)).layout == l, except that a line break in a
// name or the unit is written as a space.
std::string WriteLayout(const PlateLayout& layout);

// The file as a whole; the error then begins with the path.
LayoutParse ReadLayoutFile(const std::string& path);
// Replaces the file only with a complete one; false with the system's text.
bool SaveLayoutFile(const std::string& path, const PlateLayout& layout, std::string* error);

// "C5" for well 2 * 12 + 4.
std::string WellName(int well);

}  // namespace analysis
