// The "elisa" plate: a sandwich ELISA developed with TMB, stopped with acid
// and read at 450 nm against 620 nm. Concentrations are in pg/mL; the
// layout is the same for every seed.
//
//   A1, B1        blanks (substrate and stop solution only)
//   C1, D1        control "low", 40 pg/mL;  E1, F1  control "high", 400 pg/mL
//   G1, H1        empty
//   columns 2, 3  standards in duplicate side by side, row A 1000 pg/mL,
//                 halving down to row H 7.8125 pg/mL
//   columns 4-12  samples S1..S36 in duplicate, one above the other:
//                 S1 A4/B4, S2 C4/D4, S3 E4/F4, S4 G4/H4, S5 A5/B5 ... S36 G12/H12,
//                 true concentrations from 10 to 900 pg/mL, 3 significant digits
//
// The colour follows a four-parameter logistic of the concentration, up to
// about 3 OD at 450 nm; the blanks carry no colour of their own.
#include <cmath>

#include "sim/plate_scenarios.h"

namespace sim {

namespace {

constexpr double kTopStandard = 1000;  // pg/mL
constexpr int kStandardPoints = 8;
constexpr int kSamples = 36;
constexpr double kLowestSample = 10, kHighestSample = 900;

// Four-parameter logistic: OD at 450 nm for a concentration in pg/mL.
double ResponseOd(double pgPerMl) {
  constexpr double kBottom = 0, kTop = 3.3, kMidpoint = 180, kSlope = 1.2;
  return kTop + (kBottom - kTop) / (1 + std::pow(pgPerMl / kMidpoint, kSlope));
}

void Fill(ScenarioPlate& plate, int well, WellKind kind, const std::string& name, double pgPerMl) {
  plate.truth[well] = {kind, name, pgPerMl};
  WellRecipe& recipe = plate.wells[well];
  recipe.liquid.pathCm = kNominalPathCm;
  const double od = kind == WellKind::Blank ? 0 : ResponseOd(pgPerMl);
  recipe.liquid[Dye::TmbProduct] =
      od / (SpectrumOf(Dye::TmbProduct).peakAbsorptivity * kNominalPathCm);
}

}  // namespace

ScenarioPlate ElisaPlate() {
  ScenarioPlate plate{
      .scenario = PlateScenario::Elisa, .unit = "pg/mL", .primaryNm = 450, .referenceNm = 620};
  Fill(plate, WellIndex(0, 0), WellKind::Blank, "", 0);
  Fill(plate, WellIndex(1, 0), WellKind::Blank, "", 0);
  for (int row : {2, 3}) Fill(plate, WellIndex(row, 0), WellKind::Control, "low", 40);
  for (int row : {4, 5}) Fill(plate, WellIndex(row, 0), WellKind::Control, "high", 400);
  for (int row = 0; row < kStandardPoints; ++row) {
    const double pgPerMl = kTopStandard / std::pow(2.0, row);
    for (int column : {1, 2}) Fill(plate, WellIndex(row, column), WellKind::Standard, "", pgPerMl);
  }
  for (int n = 0; n < kSamples; ++n) {
    // Neighbouring samples lie far apart on the curve, as real ones do.
    const int rank = (11 * n) % kSamples;
    const double pgPerMl = Significant(
        kLowestSample * std::pow(kHighestSample / kLowestSample, rank / (kSamples - 1.0)), 3);
    const int column = 3 + n / 4, row = 2 * (n % 4);
    const std::string name = "S" + std::to_string(n + 1);
    Fill(plate, WellIndex(row, column), WellKind::Sample, name, pgPerMl);
    Fill(plate, WellIndex(row + 1, column), WellKind::Sample, name, pgPerMl);
  }
  return plate;
}

}  // namespace sim
