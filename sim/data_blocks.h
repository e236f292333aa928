// The texts of the data blocks a reader sends after the transfer command.
//
//   DigiScan  43 chars: block number (3, right-aligned: 1..12, then 101..112
//             for the reference pass) + 8 fields of 5: rows A..H of one column
//   Jupiter  240 chars: 48 fields of 5: six columns, column by column
//   Expert    64 chars: 16 fields of 4: two columns, column by column
//
// Values stand right-aligned in their fields; the reference pass repeats
// the layout of the primary pass.
#pragma once

#include <string>
#include <vector>

#include "sim/plate_model.h"

namespace sim {

std::vector<std::string> BuildDataBlocks(Family family, const PlateGrid& primary,
                                         const PlateGrid* reference);

// Block b of a transfer carrying a wrong number (DigiScan only; the text is
// returned unchanged for the others).
std::string MisnumberBlock(Family family, const std::string& block, int b);

// The block with value field j (0-based) turned into blanks.
std::string BlankValueField(Family family, const std::string& block, int j);

}  // namespace sim
