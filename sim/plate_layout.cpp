#include "sim/plate_layout.h"

#include <cstdio>

namespace sim {

namespace {

const char kHeader[] = R"(# One well per line, A1 to H12: <well> <kind> [<name>] [<value>]
#   blank                    reagents only
#   standard <value>         known concentration
#   sample <name> <value>    true value of the sample; replicates share the name
#   control <name> <value>   known value of the control
#   empty                    no liquid
)";

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

std::string WellLine(int well, const WellTruth& truth) {
  std::string line = WellName(well) + " ";
  switch (truth.kind) {
    case WellKind::Empty:
      return line + "empty\n";
    case WellKind::Blank:
      return line + "blank\n";
    case WellKind::Standard:
      return line + "standard " + Number(truth.value) + "\n";
    case WellKind::Sample:
      line += "sample " + truth.name + " " + Number(truth.value);
      if (truth.lagHours) line += " " + Number(*truth.lagHours);
      if (truth.k) line += " " + Number(*truth.k);
      return line + "\n";
    case WellKind::Control:
      return line + "control " + truth.name + " " + Number(truth.value) + "\n";
  }
  return line + "\n";
}

}  // namespace

std::string LayoutText(const ScenarioPlate& plate) {
  std::string text = "# Platovix simulator plate, scenario " +
                     std::string(ScenarioName(plate.scenario)) + "\n" + kHeader;
  text += "# Values in " + plate.unit + "\n";
  if (!plate.note.empty()) text += "# " + plate.note + "\n";
  text += "# Read at " + std::to_string(plate.primaryNm) + " nm";
  if (plate.referenceNm != 0) text += " against " + std::to_string(plate.referenceNm) + " nm";
  text += "\n";
  for (int well = 0; well < 96; ++well) text += WellLine(well, plate.truth[well]);
  return text;
}

}  // namespace sim
