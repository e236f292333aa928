// The background picture of the main dialog: a colour spectrum in vertical
// bands, violet at the left through blue, teal, green and yellow to red at
// the right, as a photometer's filters run from short to long wavelengths.
#pragma once

#include <cstdint>

inline constexpr int kSpectrumBands = 200;

struct SpectrumColour {
  uint8_t red, green, blue;
};

// The colour of band 0 (left edge) to kSpectrumBands - 1 (right edge).
SpectrumColour SpectrumBandColour(int band);
