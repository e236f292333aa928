// The ground truth of a scenario's plate as a text file, for checking what
// a plate analysis recovered. One well per line, A1 to H12, after a '#'
// comment header that explains the format and gives the unit:
//
//   A1 blank
//   A2 standard 1000
//   C1 control low 40
//   A4 sample S1 10
//   G1 empty
//
// Kinds: blank (reagents only), standard <value>, sample <name> <value>,
// control <name> <value>, empty (no liquid). Names hold no blanks.
#pragma once

#include <string>

#include "sim/plate_scenarios.h"

namespace sim {

std::string LayoutText(const ScenarioPlate& plate);

}  // namespace sim
