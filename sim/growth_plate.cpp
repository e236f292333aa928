// The "growth" plate: bacteria in broth, read for hours at the reader's
// longest filter as their turbidity rises. Each well follows a logistic
// curve that starts after a lag:
//   OD(t) = N0 for t < lag, else K / (1 + ((K - N0) / N0) e^(-µ (t - lag)))
// at 690 nm (turbidity rises as 690/nm towards the blue), t the time
// since the plate went in.
//
//   rows A-H      µmax 0.4 to 1.1 per hour (strains S1..S8)
//   columns 1-11  lag 0.5 to 3 hours, in steps of 0.25 h;
//                 K 0.5, 0.6 or 0.7 OD as the column counts 1, 2, 3, 1, ...
//   column 12     blanks (broth without cells)
#include <string>

#include "sim/plate_scenarios.h"

namespace sim {

ScenarioPlate GrowthPlate() {
  ScenarioPlate plate{
      .scenario = PlateScenario::Growth, .unit = "1/h", .primaryNm = 690, .referenceNm = 0};
  plate.note =
      "Values are µmax; each sample line ends in its lag (hours) and K (OD at 690 nm);"
      " N0 = " +
      std::to_string(kGrowthStartOd).substr(0, 4) + " OD at 690 nm";
  for (int row = 0; row < 8; ++row) {
    for (int column = 0; column < 12; ++column) {
      const int well = WellIndex(row, column);
      WellRecipe& recipe = plate.wells[well];
      recipe.liquid.pathCm = kNominalPathCm;
      if (column == 11) {
        plate.truth[well] = {WellKind::Blank, "", 0};
        continue;
      }
      GrowthCurve& growth = recipe.growth;
      growth.muPerHour = 0.4 + 0.1 * row;
      growth.lagHours = 0.5 + 0.25 * column;
      growth.k = 0.5 + 0.1 * (column % 3);
      growth.n0 = kGrowthStartOd;
      plate.truth[well] = {WellKind::Sample, "S" + std::to_string(row + 1), growth.muPerHour};
      plate.truth[well].lagHours = growth.lagHours;
      plate.truth[well].k = growth.k;
    }
  }
  return plate;
}

}  // namespace sim
