// Reproducible pseudo-random numbers: every simulated quantity is a fixed
// function of the seed and of what it belongs to (wavelength, well, read),
// so the same options always give the same plate on every machine.
#pragma once

#include <cstdint>

namespace sim {

inline uint64_t Mix(uint64_t x) {  // splitmix64 finaliser: cheap, well spread, portable
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

inline uint64_t Hash(unsigned seed, int wavelength, int well) {
  return Mix(Mix(Mix(seed) ^ static_cast<uint64_t>(wavelength)) ^ static_cast<uint64_t>(well));
}

// A number in [-1, 1] from a hash.
inline double SignedFraction(uint64_t hash) {
  return static_cast<double>(hash >> 11) / static_cast<double>(1ull << 52) - 1.0;
}

}  // namespace sim
