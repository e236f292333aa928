// Prints the link's figures with their goals beside them. Timings are only
// reported here, never asserted in tests.
//   platovix_bench [--runs N] [--trials N]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/bench_report.h"

int main(int argc, char** argv) {
  int runs = 3;
  int trials = 200;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--runs") == 0) runs = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--trials") == 0) trials = std::atoi(argv[i + 1]);
  }
  std::vector<BenchRow> rows = MeasurementFigures(runs);
  const std::vector<BenchRow> aborts = AbortFigures(trials);
  rows.insert(rows.end(), aborts.begin(), aborts.end());

  std::printf("Worst of %d measurements of each kind; %d abort trials in each wait.\n", runs,
              trials);
  std::printf("%-50s %-38s %-14s %s\n", "figure", "measured", "goal", "");
  for (const BenchRow& row : rows) {
    std::printf("%-50s %-38s %-14s %s\n", row.figure.c_str(), row.measured.c_str(),
                row.goal.c_str(), row.met ? "met" : "MISSED");
  }
  return 0;
}
