// The benchmark figures, one table row each, with the goal beside them.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

struct BenchRow {
  std::string figure;
  std::string measured;
  std::string goal;
  bool met;
};

// Measurement time against the protocol's floor, and CPU per mandated busy
// wait, for each reader with and without a reference filter.
std::vector<BenchRow> MeasurementFigures(int runs);

// Abort latency in a byte wait and in a long abortable wait.
std::vector<BenchRow> AbortFigures(int trials);

// The kinetic analysis of a 96 x 100 series in rate and in growth mode.
std::vector<BenchRow> KineticFigures(int runs);

inline double Milliseconds(std::chrono::steady_clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

// "12.345 ms": three decimals and the unit.
inline std::string Figure(double value, const char* unit) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f %s", value, unit);
  return text;
}
