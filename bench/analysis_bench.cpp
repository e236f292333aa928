// The plate analysis' figures with their goals beside them: one ELISA plate
// analysed (layout parsed, blank subtracted, 4PL fitted, every group
// back-calculated), the same with the example assay and its QC, the plate
// with its analysis as an Allotrope ASM document, and platovix-cli analyse
// over 1000 saved plates, with a layout and with the assay.
// Timings are only reported here, never asserted in tests.
//   platovix_bench_analysis [--runs N] [--plates N]
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "analysis/assay.h"
#include "analysis/plate_analysis.h"
#include "analysis/plate_layout.h"
#include "asm_export/asm_from_analysis.h"
#include "bench/bench_report.h"
#include "results/result_file.h"
#include "sim/reader_simulator.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// The simulator's ELISA plate at 450 nm against 620 nm, as the program stores it.
TPlateResult ElisaPlate(unsigned seed) {
  sim::Options options;
  options.scenario = sim::PlateScenario::Elisa;
  options.seed = seed;
  const sim::ReaderSimulator reader(options);
  TPlateResult plate;
  for (int well = 0; well < kWells; ++well) {
    plate.nValue[well] = reader.Reading(450, well) - reader.Reading(620, well);
  }
  plate.nPrimary = 450;
  plate.nReference = 620;
  plate.bValid = 1;
  return plate;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

BenchRow OnePlate(const std::string& layoutText, int runs) {
  const TPlateResult plate = ElisaPlate(1);
  std::vector<double> times;
  size_t groups = 0;
  for (int run = 0; run < runs; ++run) {
    const auto start = Clock::now();
    const analysis::LayoutParse layout = analysis::ParseLayout(layoutText);
    const analysis::PlateAnalysis result = analysis::AnalysePlate(plate.nValue, layout.layout, {});
    times.push_back(Milliseconds(Clock::now() - start));
    groups = result.groups.size();
    if (!result.fit.fitted) std::fprintf(stderr, "fit failed: %s\n", result.fit.failure.c_str());
  }
  std::sort(times.begin(), times.end());
  const double median = times[times.size() / 2];
  return {"one plate: layout, blank, 4PL, " + std::to_string(groups) + " groups (median of " +
              std::to_string(runs) + ")",
          Figure(median, "ms") + " (max " + Figure(times.back(), "ms") + ")", "< 2 ms", median < 2};
}

// The same plate with the example assay as the program holds it (read
// once): blank, 4PL, recovery, LLOQ/ULOQ, flags and every QC rule.
BenchRow OnePlateWithAssay(const analysis::Assay& assay, int runs) {
  const TPlateResult plate = ElisaPlate(1);
  const analysis::AnalysisOptions options = assay.Options();
  std::vector<double> times;
  std::string verdict;
  for (int run = 0; run < runs; ++run) {
    const auto start = Clock::now();
    const analysis::PlateAnalysis result =
        analysis::AnalysePlate(plate.nValue, assay.layout, options);
    times.push_back(Milliseconds(Clock::now() - start));
    verdict = result.qc ? result.qc->Verdict() : "none";
  }
  std::sort(times.begin(), times.end());
  const double median = times[times.size() / 2];
  return {"one plate with the ELISA assay, QC included (" + verdict + ", median of " +
              std::to_string(runs) + ")",
          Figure(median, "ms") + " (max " + Figure(times.back(), "ms") + ")", "< 0.3 ms",
          median < 0.3};
}

BenchRow AsmOfOnePlate(const std::string& layoutText, int runs) {
  const TPlateResult plate = ElisaPlate(1);
  const analysis::PlateLayout layout = analysis::ParseLayout(layoutText).layout;
  const analysis::PlateAnalysis result = analysis::AnalysePlate(plate.nValue, layout, {});
  ResultContext context{"DigiScan", "12345", std::chrono::system_clock::now(),
                        std::chrono::system_clock::now()};
  std::vector<double> times;
  size_t bytes = 0;
  for (int run = 0; run < runs; ++run) {
    const auto start = Clock::now();
    const AsmDocument document =
        BuildAsmDocument(AsmPlateOf(plate, context, "PLATE-1", &layout, &result));
    times.push_back(Milliseconds(Clock::now() - start));
    bytes = document.json.size();
  }
  std::sort(times.begin(), times.end());
  const double median = times[times.size() / 2];
  return {"ASM document of one analysed plate, " + std::to_string(bytes / 1024) +
              " KiB (median of " + std::to_string(runs) + ")",
          Figure(median, "ms") + " (max " + Figure(times.back(), "ms") + ")", "< 5 ms", median < 5};
}

BenchRow ManyPlates(const std::string& cli, const std::vector<std::string>& analysisArgs,
                    int plates, double goalSeconds) {
  const fs::path directory = fs::temp_directory_path() / "platovix-bench-analyse";
  fs::remove_all(directory);
  fs::create_directories(directory);
  std::vector<std::string> args = {cli, "analyse"};
  args.insert(args.end(), analysisArgs.begin(), analysisArgs.end());
  args.insert(args.end(), {"-o", (directory / "out.json").string()});
  for (int i = 0; i < plates; ++i) {
    const std::string path = (directory / ("plate" + std::to_string(i) + ".csv")).string();
    std::string error;
    SaveResultFile(path, ElisaPlate(static_cast<unsigned>(i + 1)), {}, false, &error);
    args.push_back(path);
  }
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const auto start = Clock::now();
  pid_t pid = 0;
  int status = -1;
  // The verdict lines on stderr are not part of the figure's output.
  struct rusage usage {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (posix_spawn(&pid, cli.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    wait4(pid, &status, 0, &usage);
  }
  posix_spawn_file_actions_destroy(&actions);
  // On a shared machine the wall time waits for others; the CPU time is ours.
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  const double seconds = Milliseconds(Clock::now() - start) / 1000;
  if (!getenv("PLATOVIX_BENCH_KEEP")) fs::remove_all(directory);
  const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  char goal[32];
  std::snprintf(goal, sizeof goal, "< %g s", goalSeconds);
  return {
      "platovix-cli analyse " + analysisArgs[0] + " of " + std::to_string(plates) + " saved plates",
      ok ? Figure(seconds, "s") + " (CPU " + Figure(cpu, "s") + ")"
         : "failed (exit " + std::to_string(status) + ")",
      goal, ok && seconds < goalSeconds};
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 1000;
  int plates = 1000;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--plates") == 0) plates = std::max(1, std::atoi(argv[i + 1]));
  }
  const std::string layoutPath = PLATOVIX_SOURCE_DIR "/examples/elisa-layout.csv";
  const std::string assayPath = PLATOVIX_SOURCE_DIR "/examples/elisa-assay.json";
  const analysis::AssayParse assay = analysis::ReadAssayFile(assayPath);
  if (!assay.ok) {
    std::fprintf(stderr, "%s\n", assay.message.c_str());
    return 1;
  }
  std::vector<BenchRow> rows = {OnePlate(ReadFile(layoutPath), runs),
                                OnePlateWithAssay(assay.assay, runs),
                                AsmOfOnePlate(ReadFile(layoutPath), runs),
                                ManyPlates(PLATOVIX_CLI, {"--layout", layoutPath}, plates, 3),
                                ManyPlates(PLATOVIX_CLI, {"--assay", assayPath}, plates, 1)};
  for (BenchRow& row : KineticFigures(std::max(1, runs / 10))) rows.push_back(std::move(row));
  std::printf("%-60s %-30s %-10s %s\n", "figure", "measured", "goal", "");
  for (const BenchRow& row : rows) {
    std::printf("%-60s %-30s %-10s %s\n", row.figure.c_str(), row.measured.c_str(),
                row.goal.c_str(), row.met ? "met" : "MISSED");
  }
  return 0;
}
