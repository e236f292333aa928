// The coloured substances a simulated well can hold. Each has one smooth
// absorbance band over 340-750 nm (a Gaussian around its peak), which is
// all a filter photometer with 10 nm wide filters can tell apart.
#pragma once

#include <array>

namespace sim {

enum class Dye {
  TmbProduct,        // stopped TMB (yellow diimine), the usual ELISA read-out
  CoomassieProtein,  // Coomassie blue bound to protein (Bradford assay)
  CoomassieFree,     // the reagent's free, red-brown form
  Nitrophenol,       // p-nitrophenolate, product of phosphatase substrates
  Nadh,              // NADH, the dehydrogenase co-factor
};
inline constexpr int kDyeCount = 5;

struct DyeSpectrum {
  const char* name;         // as in the simulator's help
  int peakNm;               // wavelength of strongest absorbance
  double widthNm;           // standard deviation of the band
  double peakAbsorptivity;  // per mM and cm of light path, at the peak
};

const DyeSpectrum& SpectrumOf(Dye dye);

// Absorptivity in 1/(mM cm) at a wavelength.
double Absorptivity(Dye dye, int nm);

// What the light passes through in one well.
struct Liquid {
  std::array<double, kDyeCount> mM{};  // concentration of each dye
  double pathCm = 0;                   // height of the liquid; 0 = empty well

  double& operator[](Dye dye) { return mM[static_cast<int>(dye)]; }
  double operator[](Dye dye) const { return mM[static_cast<int>(dye)]; }
};

// Beer-Lambert: path length times the sum over the dyes of concentration
// times absorptivity. The plate itself is not included.
double LiquidAbsorbance(const Liquid& liquid, int nm);

}  // namespace sim
