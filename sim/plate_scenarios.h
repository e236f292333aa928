// The assay plates the simulated reader can hold: what is in every well
// (the dyes, and an enzyme making more of one) and the ground truth an
// operator would have written on the plate map.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "sim/dye_spectra.h"
#include "sim/reader_simulator.h"

namespace sim {

enum class WellKind { Empty, Blank, Standard, Sample, Control };

struct WellTruth {
  WellKind kind = WellKind::Empty;
  std::string name;  // samples and controls; replicates share it
  double value = 0;  // concentration (or rate) in the scenario's unit
  // Growing cultures: when they start to grow, and how far.
  std::optional<double> lagHours{};
  std::optional<double> k{};
};

// Cells growing along a logistic curve after a lag; OD at 690 nm.
struct GrowthCurve {
  double k = 0;  // carrying capacity; 0 = no cells
  double n0 = 0;
  double muPerHour = 0;
  double lagHours = 0;
};

struct WellRecipe {
  Liquid liquid;                   // when the plate goes in, at the nominal path
  Dye product = Dye::Nitrophenol;  // what the well's enzyme makes
  double rateMmPerS = 0;           // its initial rate; 0 = no enzyme
  GrowthCurve growth{};            // cells in broth, if any
};

inline constexpr double kNominalPathCm = 0.6;  // 200 uL in a flat-bottom well
// An enzyme slows down as its substrate runs out: the product grows as
// rate * t / (1 + t / tau), t the time since the plate went in.
inline constexpr double kReactionTauSeconds = 600;
// The inoculum of the growth plate, OD at 690 nm.
inline constexpr double kGrowthStartOd = 0.02;

struct ScenarioPlate {
  PlateScenario scenario = PlateScenario::Random;
  std::string unit{};                                        // of the ground-truth values
  std::string note{};                                        // for the layout's header
  std::array<int, 6> filters{405, 450, 492, 540, 620, 690};  // the reader's for this assay
  int primaryNm = 450;                                       // how the assay is read
  int referenceNm = 620;                                     // 0 = no reference
  std::array<WellTruth, 96> truth{};
  std::array<WellRecipe, 96> wells{};
};

// The Random scenario has no contents: only its filters and read-out.
ScenarioPlate BuildScenario(PlateScenario scenario);

const char* ScenarioName(PlateScenario scenario);
bool ScenarioFromName(const std::string& name, PlateScenario* scenario);

// "A1" .. "H12" for wells 0..95, row-major.
std::string WellName(int well);
int WellIndex(int row, int column);  // both 0-based

// Product concentration after `seconds` for a well's recipe.
double ProductMm(const WellRecipe& recipe, double seconds);
// The turbidity of a well's cells after `seconds`, at nm.
double CellsOd(const GrowthCurve& growth, double seconds, int nm);

// Rounded to a few significant digits, as a concentration is written down.
double Significant(double value, int digits);

// Each scenario's plate, in a file of its own.
ScenarioPlate ElisaPlate();
ScenarioPlate BradfordPlate();
ScenarioPlate KineticPlate();
ScenarioPlate GrowthPlate();

}  // namespace sim
