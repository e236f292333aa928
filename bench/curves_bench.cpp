// The plate of curves during a long run: a series of 100 reads of 96 wells
// taken in, analysed and painted again, as after each read; in rate and in
// growth mode (the logistic fits included). Then a 12-hour growth run, one
// read a minute, fed in read by read as the desktop does (a well's large
// curve open beside it): the redraw at its last read and the process's
// peak memory. Reported only, never asserted.
//   platovix_bench_curves [--reads N] [--run N]   (100, 720)
#include <QApplication>
#include <QPixmap>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "analysis_ui/kinetic_plate_view.h"
#include "analysis_ui/kinetic_window.h"
#include "analysis_ui/well_curve_dialog.h"
#include "bench/bench_report.h"

namespace {

using Clock = std::chrono::steady_clock;

// Each well a logistic rise of its own rate, read every 5 minutes, over
// broth of the given OD (no blanks to take it off).
std::vector<analysis::KineticRead> Series(int reads, int brothMod, double interval = 300) {
  std::vector<analysis::KineticRead> series(static_cast<size_t>(reads));
  for (int i = 0; i < reads; ++i) {
    analysis::KineticRead& read = series[static_cast<size_t>(i)];
    read.seconds = i * interval;
    const double hours = read.seconds / 3600;
    for (int well = 0; well < 96; ++well) {
      const double r = 0.4 + 0.01 * well;
      const double od = 1.2 / (1 + (1.2 / 0.01 - 1) * std::exp(-r * hours));
      read.values[static_cast<size_t>(well)] =
          static_cast<int32_t>(std::lround(od * 1000)) + brothMod;
    }
  }
  return series;
}

BenchRow Redraw(KineticWindow& window, const std::vector<analysis::KineticRead>& series,
                analysis::KineticMode mode, const char* what) {
  analysis::KineticOptions options;
  options.mode = mode;
  std::vector<analysis::KineticRead> before(series.begin(), series.end() - 1);
  double best = 1e9;
  for (int run = 0; run < 5; ++run) {
    window.SetSeries(before, nullptr, options);  // as the run left it a read ago
    window.Plate()->grab();
    const auto start = Clock::now();
    window.SetSeries(series, nullptr, options);  // the newest read in
    window.Plate()->grab();                      // and painted
    best = std::min(best, Milliseconds(Clock::now() - start));
  }
  return {std::string("Plate of curves: read ") + std::to_string(series.size()) + " in, " +
              analysis::KineticModeName(mode) + " mode" + what,
          Figure(best, "ms"), "< 50 ms", best < 50};
}

// The kernel's count of this process' resident memory, in MB: "VmHWM"
// the peak, "VmRSS" now.
double MemoryMb(const char* field) {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return 0;
  char line[256];
  double kb = 0;
  const size_t length = std::strlen(field);
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
      kb = std::atof(line + length + 1);
      break;
    }
  }
  std::fclose(status);
  return kb / 1024;
}

// A run of the given reads, one a minute, over 40 mOD of broth with blanks
// in column 12, fed in read by read with a copy of the series each time.
std::vector<BenchRow> LongRun(int reads) {
  KineticWindow window(nullptr);
  window.show();
  analysis::PlateLayout layout;
  for (int well = 0; well < 96; ++well) {
    layout.wells[well].role =
        well % 12 == 11 ? analysis::WellRole::Blank : analysis::WellRole::Sample;
  }
  std::vector<analysis::KineticRead> all = Series(reads, 40, 60);
  for (analysis::KineticRead& read : all) {
    for (int row = 0; row < 8; ++row) read.values[static_cast<size_t>(row * 12 + 11)] = 40;
  }
  const analysis::KineticOptions options{analysis::KineticMode::Growth,
                                         analysis::kDefaultKineticWindow,
                                         analysis::kDefaultKineticR2Min};
  std::vector<analysis::KineticRead> series;
  double half = 0, last = 0, rssAtHalf = 0;
  for (int i = 0; i < reads; ++i) {
    series.push_back(all[static_cast<size_t>(i)]);
    const auto start = Clock::now();
    window.SetSeries(series, &layout, options);
    window.Plate()->grab();
    if (window.OpenWell()) window.OpenWell()->grab();
    last = Milliseconds(Clock::now() - start);
    if (i == 0) window.ShowWell(13);  // B2's curve large, following the run
    QCoreApplication::processEvents();
    if (i + 1 == reads / 2) {
      half = last;
      rssAtHalf = MemoryMb("VmRSS");
    }
  }
  const double peak = MemoryMb("VmHWM");
  // The second half's reads themselves (kept three times over) take about 0.5 MB.
  const double grown = MemoryMb("VmRSS") - rssAtHalf;
  const std::string run = std::to_string(reads) + "-read growth run";
  return {
      {run + ": read " + std::to_string(reads / 2) + " in", Figure(half, "ms"), "< 50 ms",
       half < 50},
      {run + ": read " + std::to_string(reads) + " in", Figure(last, "ms"), "< 50 ms", last < 50},
      {run + ": resident at read " + std::to_string(reads / 2) + " / at the end",
       Figure(rssAtHalf, "MB") + " / " + Figure(rssAtHalf + grown, "MB"), "< +5 MB", grown < 5},
      {run + ": peak resident memory (VmHWM)", Figure(peak, "MB"), "< 100 MB", peak < 100}};
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int reads = 100;
  int runReads = 720;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--reads") == 0) reads = std::max(2, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--run") == 0) runReads = std::max(2, std::atoi(argv[i + 1]));
  }
  const std::vector<analysis::KineticRead> series = Series(reads, 0);
  KineticWindow window(nullptr);
  window.show();
  std::vector<BenchRow> rows;
  rows.push_back(Redraw(window, series, analysis::KineticMode::Rate, ""));
  rows.push_back(Redraw(window, series, analysis::KineticMode::Growth, ""));
  rows.push_back(
      Redraw(window, Series(reads, 40), analysis::KineticMode::Growth, ", 40 mOD broth unblanked"));
  for (BenchRow& row : LongRun(runReads)) rows.push_back(row);
  std::printf("%-62s %-14s %-10s %s\n", "figure", "measured", "goal", "");
  for (const BenchRow& row : rows) {
    std::printf("%-62s %-14s %-10s %s\n", row.figure.c_str(), row.measured.c_str(),
                row.goal.c_str(), row.met ? "" : "MISSED");
  }
  return 0;
}
