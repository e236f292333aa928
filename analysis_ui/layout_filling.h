// What the layout editor does to the wells the operator selected: give
// them a role, number the samples and controls, fill a dilution series of
// standards. Replicates are neighbours on the plate, side by side in a row
// or one below the other, and share a name or a concentration.
#pragma once

#include <string>
#include <vector>

#include "analysis/plate_layout.h"

namespace layout_filling {

struct Grouping {
  bool downTheRows = true;  // the series runs A, B, C...; else 1, 2, 3...
  int replicates = 1;       // wells per group
  bool sideBySide = true;   // a group's wells in one row; else in one column
};

// The selected wells (0..95) as groups of replicates, in the order of the
// series; each group's wells in row-major order. Groups are laid out on the
// selection's bounding box, so a ragged selection leaves gaps, never shifts.
std::vector<std::vector<int>> ReplicateGroups(const std::vector<int>& wells,
                                              const Grouping& grouping);

// Blanks and empty wells lose name and concentration; samples and controls
// get the next free numbers (S1, S2... and C1, C2...), one per group.
void AssignRole(analysis::PlateLayout& layout, const std::vector<int>& wells,
                analysis::WellRole role, const Grouping& grouping);

// Standards from top down by factor: the first group gets top, the next
// top / factor, and so on.
void FillDilutionSeries(analysis::PlateLayout& layout, const std::vector<int>& wells, double top,
                        double factor, const Grouping& grouping);

// Standards from a list of levels, the first group the first level; groups
// beyond the list are left as they were. Bradford's 2000, 1500, 1000, 750...
// is not one constant factor.
void FillStandardLevels(analysis::PlateLayout& layout, const std::vector<int>& wells,
                        const std::vector<double>& levels, const Grouping& grouping);

// "2000, 1500 1000" -> {2000, 1500, 1000}: separated by commas or blanks,
// or by semicolons, and then a comma is a decimal comma ("1,5; 2,5").
struct LevelList {
  std::vector<double> levels;
  std::string bad;  // set when a word is not a concentration
};
LevelList ParseLevels(const std::string& text);

// "B", "S", "U", "C" or "" for an empty well: the key that sets the role.
std::string RoleLetter(analysis::WellRole role);

}  // namespace layout_filling
