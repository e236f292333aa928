#include "resources/rainbow_bands.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

// Fixed points across the width (0 = left edge, 1 = right edge); the bands
// in between blend linearly, so purple, teal, yellow and red sit exactly at
// the left edge, the middle, four fifths and the right edge.
struct Anchor {
  double at;
  SpectrumColour colour;
};

constexpr Anchor kAnchors[] = {
    {0.00, {153, 71, 121}},  // purple
    {0.25, {49, 72, 170}},   // blue
    {0.50, {0, 142, 127}},   // teal
    {0.65, {64, 170, 62}},   // green
    {0.80, {243, 230, 0}},   // yellow
    {0.90, {240, 146, 22}},  // orange
    {1.00, {219, 49, 29}},   // red
};

uint8_t Blend(uint8_t from, uint8_t to, double share) {
  return static_cast<uint8_t>(std::lround(from + (to - from) * share));
}

}  // namespace

SpectrumColour SpectrumBandColour(int band) {
  band = std::clamp(band, 0, kSpectrumBands - 1);
  const double at = static_cast<double>(band) / (kSpectrumBands - 1);
  const Anchor* right = std::find_if(std::begin(kAnchors), std::end(kAnchors),
                                     [at](const Anchor& a) { return a.at >= at; });
  if (right == std::begin(kAnchors)) return right->colour;
  const Anchor* left = right - 1;
  const double share = (at - left->at) / (right->at - left->at);
  return {Blend(left->colour.red, right->colour.red, share),
          Blend(left->colour.green, right->colour.green, share),
          Blend(left->colour.blue, right->colour.blue, share)};
}
