#include "sim/dye_spectra.h"

#include <cmath>

namespace sim {

namespace {

// Peaks and absorptivities are those of the real substances, near enough
// for plates that look right; the widths give each band its usual reach
// (NADH nearly gone at 405 nm, stopped TMB gone by 620 nm).
constexpr DyeSpectrum kSpectra[kDyeCount] = {
    {"tmb", 450, 45.0, 59.0},
    {"coomassie-protein", 595, 55.0, 43.0},
    {"coomassie-free", 470, 60.0, 12.0},
    {"p-nitrophenol", 405, 40.0, 18.3},
    {"nadh", 340, 25.0, 6.22},
};

}  // namespace

const DyeSpectrum& SpectrumOf(Dye dye) {
  return kSpectra[static_cast<int>(dye)];
}

double Absorptivity(Dye dye, int nm) {
  const DyeSpectrum& s = SpectrumOf(dye);
  const double z = (nm - s.peakNm) / s.widthNm;
  return s.peakAbsorptivity * std::exp(-0.5 * z * z);
}

double LiquidAbsorbance(const Liquid& liquid, int nm) {
  double perCm = 0;
  for (int d = 0; d < kDyeCount; ++d) perCm += liquid.mM[d] * Absorptivity(static_cast<Dye>(d), nm);
  return perCm * liquid.pathCm;
}

}  // namespace sim
