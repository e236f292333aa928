#include "sim/instrument_effects.h"

#include <algorithm>
#include <cmath>

#include "sim/reader_family.h"

namespace sim {

namespace {

constexpr int kOverflowWells[] = {5, 42, 91};
constexpr int kUnreadableWells[] = {17, 66};

// How far above the family's range the stray-light ceiling lies, in OD:
// a clear liquid can never read more than that, a near-opaque one does.
constexpr double kCeilingAboveRange = 0.35;

}  // namespace

double PlateBackground(int nm) {
  return 0.040 + 0.008 * std::pow(405.0 / nm, 4);
}

double MeniscusScatter(int nm, double strength) {
  return (0.001 + 0.003 * strength) * std::pow(450.0 / nm, 2);
}

double StrayLightCeiling(Family family) {
  return TraitsOf(family).upperLimit / 1000.0 + kCeilingAboveRange;
}

double WithStrayLight(double absorbance, Family family) {
  // The fraction of stray light that puts the ceiling where it belongs.
  const double stray = 1 / (std::pow(10.0, StrayLightCeiling(family)) - 1);
  return -std::log10((std::pow(10.0, -absorbance) + stray) / (1 + stray));
}

double NoiseBound(double absorbance) {
  return 0.002 + 0.005 * std::fabs(absorbance);
}

double PhotometricNoise(double absorbance, double u1, double u2, double u3) {
  return NoiseBound(absorbance) * std::clamp((u1 + u2 + u3) / 3, -1.0, 1.0);
}

int Thousandths(double absorbance) {
  return static_cast<int>(std::lround(absorbance * 1000));
}

bool IsOverflowWell(int well) {
  return std::find(std::begin(kOverflowWells), std::end(kOverflowWells), well) !=
         std::end(kOverflowWells);
}

bool IsUnreadableWell(int well) {
  return std::find(std::begin(kUnreadableWells), std::end(kUnreadableWells), well) !=
         std::end(kUnreadableWells);
}

}  // namespace sim
