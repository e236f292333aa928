// The History window's figures over a SQLite archive of 100 000 reads:
// opening the archive and the first page of the window's list, plain and
// filtered (the filters that scan furthest), and the next page. Timings are
// only reported here, never asserted in tests.
//   platovix_bench_history [--reads N]   (100000)
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/sqlite_archive.h"
#include "bench/bench_report.h"
#include "history/history_model.h"
#include "history/history_source.h"
#include "tests/archive/archive_samples.h"

namespace {

using Clock = std::chrono::steady_clock;

// The tests' sample read as the history lists it: spread over a month, a
// night shift's reads among them, one in 50 failed.
archive::PlateRead Read(int n) {
  archive::PlateRead read = archive_samples::SampleRead(n);
  read.plateId = "PL-" + std::to_string(100000 + n);
  read.operatorName = n % 7 == 0 ? "night shift" : "lab";
  read.readerFamily = "Jupiter";
  char time[64];
  std::snprintf(time, sizeof time, "2026-11-%02dT%02d:%02d:%02d+01:00", 1 + n / 4000 % 28,
                n / 3600 % 24, n / 60 % 60, n % 60);
  read.started = read.completed = time;
  read.verdict = n % 50 == 0 ? "Fail" : "Pass";
  return read;
}

BenchRow FirstPage(const char* what, const HistorySource& source, const archive::ReadQuery& query) {
  HistoryModel model(source);
  const auto start = Clock::now();
  model.SetQuery(query);
  const double ms = Milliseconds(Clock::now() - start);
  return {std::string("History: first page, ") + what + " (" + std::to_string(model.rowCount()) +
              " rows)",
          Figure(ms, "ms"), "< 200 ms", ms < 200};
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int reads = 100000;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--reads") == 0) reads = std::atoi(argv[i + 1]);
  }
  char pattern[] = "/tmp/platovix-bench-history-XXXXXX";
  const std::string folder = mkdtemp(pattern);
  const std::string path = folder + "/archive.sqlite";
  std::fprintf(stderr, "Filling a SQLite archive with %d reads...\n", reads);
  {
    archive::SqliteOpenNotes notes;
    auto filled = archive::OpenSqliteArchive(path, &notes);
    filled->Connection().Script("PRAGMA synchronous=OFF");
    std::string error;
    for (int n = 0; n < reads; ++n) {
      if (!filled->AppendRead(Read(n), &error)) {
        std::fprintf(stderr, "fill: %s\n", error.c_str());
        return 1;
      }
    }
  }

  std::vector<BenchRow> rows;
  auto start = Clock::now();
  const HistorySource source = OpenHistorySource({path, ""});
  double ms = Milliseconds(Clock::now() - start);
  rows.push_back({"History: open the archive", Figure(ms, "ms"), "< 200 ms", ms < 200});
  rows.push_back(FirstPage("no filter", source, {}));
  archive::ReadQuery query;
  query.text = "night";
  rows.push_back(FirstPage("text \"night\"", source, query));
  query = {};
  query.verdict = "Fail";
  rows.push_back(FirstPage("verdict Fail (1 in 50)", source, query));
  query = {};
  query.text = "PL-1999";
  rows.push_back(FirstPage("text matching 100 reads, all scanned", source, query));

  HistoryModel model(source);
  model.SetQuery({});
  start = Clock::now();
  model.fetchMore({});
  ms = Milliseconds(Clock::now() - start);
  rows.push_back({"History: the next page", Figure(ms, "ms"), "< 50 ms", ms < 50});
  if (std::getenv("KEEP") == nullptr) std::filesystem::remove_all(folder);

  std::printf("%-62s %-14s %-10s %s\n", "figure", "measured", "goal", "");
  for (const BenchRow& row : rows) {
    std::printf("%-62s %-14s %-10s %s\n", row.figure.c_str(), row.measured.c_str(),
                row.goal.c_str(), row.met ? "" : "MISSED");
  }
  return 0;
}
