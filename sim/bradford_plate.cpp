// The "bradford" plate: protein measured with Coomassie reagent at 595 nm.
// Concentrations are in ug/mL of protein; the reader of this assay carries
// a 595 nm filter in position 4 instead of 540 nm.
//
//   A1-A3         blanks (buffer and reagent)
//   B..H, 1-3     standards in triplicate across: 125, 250, 500, 750, 1000,
//                 1500, 2000 ug/mL from row B to row H
//   columns 4-12  samples P1..P24 in triplicate across three columns:
//                 P1 A4-A6 .. P8 H4-H6, P9 A7-A9 .. P24 H10-H12,
//                 true concentrations from 50 to 1800 ug/mL
//
// Protein binds dye and shifts it from its free form (470 nm) to the blue
// complex (595 nm); binding saturates slowly, so the standard curve bends a
// little towards its top (about 1.4 OD above the blank at 2000 ug/mL).
#include <cmath>

#include "sim/plate_scenarios.h"

namespace sim {

namespace {

constexpr double kStandards[] = {125, 250, 500, 750, 1000, 1500, 2000};  // ug/mL
constexpr int kSamples = 24;
constexpr double kLowestSample = 50, kHighestSample = 1800;
constexpr double kReagentDyeMm = 0.3;
constexpr double kBindingCapacityMm = 0.348, kHalfBindingUgPerMl = 10000;

void Fill(ScenarioPlate& plate, int well, WellKind kind, const std::string& name, double ugPerMl) {
  plate.truth[well] = {kind, name, ugPerMl};
  Liquid& liquid = plate.wells[well].liquid;
  liquid.pathCm = kNominalPathCm;
  const double bound = kBindingCapacityMm * ugPerMl / (ugPerMl + kHalfBindingUgPerMl);
  liquid[Dye::CoomassieProtein] = bound;
  liquid[Dye::CoomassieFree] = kReagentDyeMm - bound;
}

}  // namespace

ScenarioPlate BradfordPlate() {
  ScenarioPlate plate{.scenario = PlateScenario::Bradford,
                      .unit = "ug/mL",
                      .filters = {405, 450, 492, 595, 620, 690},
                      .primaryNm = 595,
                      .referenceNm = 0};
  for (int column = 0; column < 3; ++column) {
    Fill(plate, WellIndex(0, column), WellKind::Blank, "", 0);
    for (int row = 1; row < 8; ++row)
      Fill(plate, WellIndex(row, column), WellKind::Standard, "", kStandards[row - 1]);
  }
  for (int n = 0; n < kSamples; ++n) {
    const int rank = (7 * n) % kSamples;
    const double ugPerMl = Significant(
        kLowestSample * std::pow(kHighestSample / kLowestSample, rank / (kSamples - 1.0)), 3);
    const int row = n % 8, firstColumn = 3 + 3 * (n / 8);
    for (int column = firstColumn; column < firstColumn + 3; ++column)
      Fill(plate, WellIndex(row, column), WellKind::Sample, "P" + std::to_string(n + 1), ugPerMl);
  }
  return plate;
}

}  // namespace sim
