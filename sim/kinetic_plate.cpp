// The "kinetic" plate: a phosphatase making p-nitrophenol, read at 405 nm
// again and again. Values are initial rates in mOD/min at 405 nm for the
// nominal 0.6 cm of liquid; the product then slows down as
// rate * t / (1 + t / 600 s), t the time since the plate went in.
//
//   rows A-H      enzyme preparations E1..E8, E1 the most active
//   columns 1-11  each preparation diluted 1.5-fold from column to column;
//                 a well is named after both: "E3-7" is E3 in column 7
//   column 12     blanks (substrate without enzyme)
#include <cmath>
#include <string>

#include "sim/plate_scenarios.h"

namespace sim {

namespace {

constexpr double kTopRateModPerMin = 250;
constexpr double kDilutionStep = 1.5;

}  // namespace

ScenarioPlate KineticPlate() {
  ScenarioPlate plate{
      .scenario = PlateScenario::Kinetic, .unit = "mOD/min", .primaryNm = 405, .referenceNm = 0};
  plate.note = "Initial rates for the nominal fill; the product grows as rate * t / (1 + t / " +
               std::to_string(static_cast<int>(kReactionTauSeconds)) +
               " s), t the time since plate-in";
  // mOD/min at the nominal path to mM of product per second
  const double mmPerSPerModPerMin =
      1 / (1000.0 * 60.0 * SpectrumOf(Dye::Nitrophenol).peakAbsorptivity * kNominalPathCm);
  for (int row = 0; row < 8; ++row) {
    for (int column = 0; column < 12; ++column) {
      const int well = WellIndex(row, column);
      WellRecipe& recipe = plate.wells[well];
      recipe.liquid.pathCm = kNominalPathCm;
      recipe.product = Dye::Nitrophenol;
      if (column == 11) {
        plate.truth[well] = {WellKind::Blank, "", 0};
        continue;
      }
      const double rate =
          Significant(kTopRateModPerMin * (1 - 0.1 * row) / std::pow(kDilutionStep, column), 3);
      plate.truth[well] = {WellKind::Sample,
                           "E" + std::to_string(row + 1) + "-" + std::to_string(column + 1), rate};
      recipe.rateMmPerS = rate * mmPerSPerModPerMin;
    }
  }
  return plate;
}

}  // namespace sim
