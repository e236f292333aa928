// The benchmark figures, one table row each, with the goal beside them.
#pragma once

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
