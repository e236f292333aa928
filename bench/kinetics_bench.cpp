// The kinetic analysis of 96 wells x 100 reads in each mode: the
// simulator's enzyme plate read every 20 s and its growth plate read every
// 15 minutes, both at simulated times.
#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "analysis/kinetics.h"
#include "bench/bench_report.h"
#include "sim/plate_model.h"
#include "sim/plate_scenarios.h"

namespace {

constexpr int kReads = 100;

std::vector<analysis::KineticRead> Series(sim::PlateScenario scenario, double intervalSeconds,
                                          analysis::PlateLayout* layout) {
  sim::Options options;
  options.scenario = scenario;
  const sim::PlateModel model(options);
  const sim::ScenarioPlate plate = sim::BuildScenario(scenario);
  for (int well = 0; well < analysis::kLayoutWells; ++well) {
    layout->wells[well].role = plate.truth[well].kind == sim::WellKind::Blank
                                   ? analysis::WellRole::Blank
                                   : analysis::WellRole::Sample;
  }
  std::vector<analysis::KineticRead> reads;
  for (int i = 0; i < kReads; ++i) {
    analysis::KineticRead read;
    read.seconds = intervalSeconds * i;
    const sim::PlateGrid grid = model.Plate(plate.primaryNm, {read.seconds, i});
    std::copy(grid.begin(), grid.end(), read.values.begin());
    reads.push_back(read);
  }
  return reads;
}

BenchRow Figure(analysis::KineticMode mode, int runs) {
  analysis::PlateLayout layout;
  const bool growth = mode == analysis::KineticMode::Growth;
  const auto reads = Series(growth ? sim::PlateScenario::Growth : sim::PlateScenario::Kinetic,
                            growth ? 900 : 20, &layout);
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const analysis::KineticAnalysis result =
        analysis::AnalyseKinetics(reads, &layout, {mode, analysis::kDefaultKineticWindow, 0.95});
    times.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
    if (result.wells.size() != 96) times.back() = 1e9;
  }
  std::sort(times.begin(), times.end());
  const double median = times[times.size() / 2];
  return {std::string("kinetics, ") + analysis::KineticModeName(mode) +
              ": 96 wells x 100 reads (median of " + std::to_string(runs) + ")",
          ::Figure(median, "ms") + " (max " + ::Figure(times.back(), "ms") + ")", "< 5 ms",
          median < 5};
}

}  // namespace

std::vector<BenchRow> KineticFigures(int runs) {
  return {Figure(analysis::KineticMode::Rate, runs), Figure(analysis::KineticMode::Growth, runs)};
}
