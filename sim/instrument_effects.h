// What the photometer adds to the liquid's own absorbance: the plate, the
// meniscus, stray light, photometric noise, and the reading's range.
#pragma once

#include "sim/reader_simulator.h"

namespace sim {

// Clear polystyrene: about 0.04 OD, a little more towards the UV.
double PlateBackground(int nm);

// Light scattered by a well's meniscus; strength is the well's own (0..1)
// and falls off with wavelength.
double MeniscusScatter(int nm, double strength);

// Stray light reaches the detector whatever the well holds, so readings
// bend over towards a ceiling a little above the family's range.
double StrayLightCeiling(Family family);
double WithStrayLight(double absorbance, Family family);

// Largest photometric error for a reading: 0.002 OD plus 0.5 % of it.
double NoiseBound(double absorbance);
// The error for one reading, given three numbers in [-1, 1]: bell-shaped
// but never beyond NoiseBound.
double PhotometricNoise(double absorbance, double u1, double u2, double u3);

// The reading in thousandths of OD as the reader sends it.
int Thousandths(double absorbance);

// Wells that --overflow and --no-value pick, spread over the plate.
bool IsOverflowWell(int well);
bool IsUnreadableWell(int well);

}  // namespace sim
