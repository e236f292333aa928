#include "sim/plate_scenarios.h"

#include <cmath>

namespace sim {

namespace {

constexpr PlateScenario kScenarios[] = {PlateScenario::Random, PlateScenario::Elisa,
                                        PlateScenario::Bradford, PlateScenario::Kinetic,
                                        PlateScenario::Growth};

}  // namespace

ScenarioPlate BuildScenario(PlateScenario scenario) {
  switch (scenario) {
    case PlateScenario::Elisa:
      return ElisaPlate();
    case PlateScenario::Bradford:
      return BradfordPlate();
    case PlateScenario::Kinetic:
      return KineticPlate();
    case PlateScenario::Growth:
      return GrowthPlate();
    case PlateScenario::Random:
      break;
  }
  return ScenarioPlate{};
}

const char* ScenarioName(PlateScenario scenario) {
  switch (scenario) {
    case PlateScenario::Elisa:
      return "elisa";
    case PlateScenario::Bradford:
      return "bradford";
    case PlateScenario::Kinetic:
      return "kinetic";
    case PlateScenario::Growth:
      return "growth";
    case PlateScenario::Random:
      break;
  }
  return "random";
}

bool ScenarioFromName(const std::string& name, PlateScenario* scenario) {
  for (PlateScenario s : kScenarios) {
    if (name == ScenarioName(s)) {
      *scenario = s;
      return true;
    }
  }
  return false;
}

std::string WellName(int well) {
  return std::string(1, static_cast<char>('A' + well / 12)) + std::to_string(well % 12 + 1);
}

int WellIndex(int row, int column) {
  return row * 12 + column;
}

double ProductMm(const WellRecipe& recipe, double seconds) {
  if (seconds <= 0) return 0;
  return recipe.rateMmPerS * seconds / (1 + seconds / kReactionTauSeconds);
}

double CellsOd(const GrowthCurve& growth, double seconds, int nm) {
  if (growth.k <= 0 || nm <= 0) return 0;
  const double hours = seconds / 3600 - growth.lagHours;
  const double od = hours <= 0 ? growth.n0
                               : growth.k / (1 + (growth.k - growth.n0) / growth.n0 *
                                                     std::exp(-growth.muPerHour * hours));
  return od * 690.0 / nm;
}

double Significant(double value, int digits) {
  if (value == 0) return 0;
  const double scale = std::pow(10.0, digits - 1 - std::floor(std::log10(std::fabs(value))));
  return std::round(value * scale) / scale;
}

}  // namespace sim
