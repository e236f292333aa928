// The assay plates the simulated reader can hold: what is in every well
// (the dyes, and an enzyme making more of one) and the ground truth an
// operator would have written on the plate map.
#pragma once

#include <array>
#include <string>

#include "sim/dye_spectra.h"
#include "sim/reader_simulator.h"

namespace sim {

enum class WellKind { Empty, Blank, Standard, Sample, Control };

struct WellTruth {
  WellKind kind = WellKind::Empty;
  std::string name;  // samples and controls; replicates share it
  double value = 0;  // concentration (or rate) in the scenario's unit
};

struct WellRecipe {
  Liquid liquid;                   // when the plate goes in, at the nominal path
  Dye product = Dye::Nitrophenol;  // what the well's enzyme makes
  double rateMmPerS = 0;           // its initial rate; 0 = no enzyme
};

inline constexpr double kNominalPathCm = 0.6;  // 200 uL in a flat-bottom well
// An enzyme slows down as its substrate runs out: the product grows as
// rate * t / (1 + t / tau), t the time since the plate went in.
inline constexpr double kReactionTauSeconds = 600;

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

// Rounded to a few significant digits, as a concentration is written down.
double Significant(double value, int digits);

// Each scenario's plate, in a file of its own.
ScenarioPlate ElisaPlate();
ScenarioPlate BradfordPlate();
ScenarioPlate KineticPlate();

}  // namespace sim
