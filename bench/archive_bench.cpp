// The plate archive's figures with their goals beside them, for SQLite and
// for PostgreSQL on loopback (a server this program starts itself): storing
// one read (synchronous commit), listing and verifying a full archive, its
// size on disk, and the cost of the damage check made before writing.
// Timings are only reported here, never asserted in tests.
//   platovix_bench_archive [--reads N] [--stores N]   (100000, 200)
//   platovix_bench_archive --fill FILE [--reads N]     only fill a SQLite archive
//                                                      (to profile the command line on)
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive_store.h"
#include "archive/postgres_archive.h"
#include "archive/sqlite_archive.h"
#include "bench/bench_report.h"
#include "tests/archive/archive_samples.h"
#include "tests/archive/postgres_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using archive::ChainedArchive;
using archive::PlateRead;

template <typename F>
double TimedMs(F&& body) {
  const auto start = Clock::now();
  body();
  return Milliseconds(Clock::now() - start);
}

// The tests' sample read as a lab makes it: spread over a month, with an
// assay of a few hundred bytes and a verdict.
PlateRead Read(int n) {
  PlateRead read = archive_samples::SampleRead(n);
  read.plateId = "PL-" + std::to_string(100000 + n);
  const int day = 1 + n / 4000 % 28;
  char time[64];
  std::snprintf(time, sizeof time, "2026-11-%02dT%02d:%02d:%02d+01:00", day, n / 3600 % 24,
                n / 60 % 60, n % 60);
  read.started = read.completed = time;
  for (int well = 0; well < kWells; ++well) read.values[well] = (n * 131 + well * 37) % 3200;
  read.assayName = n % 3 == 0 ? "IgG ELISA" : "Bradford";
  read.assayJson =
      R"({"name":")" + read.assayName +
      R"(","layout":"blanks A1 B1; standards A2-H2 1000 500 250 125 62.5 31.3 15.6 0",)"
      R"("model":"4pl","weight":"1/y2","qc":{"r2":0.98,"cv":15}})";
  read.verdict = "pass";
  return read;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// Fills the archive without waiting for the disk: only the figures after it
// are measured, each with the archive's own settings.
void Fill(ChainedArchive& archive, int reads, const char* fast, const char* safe) {
  archive.Connection().Script(fast);
  std::string error;
  for (int n = 0; n < reads; ++n) {
    if (!archive.AppendRead(Read(n), &error)) {
      std::fprintf(stderr, "fill: %s\n", error.c_str());
      std::exit(1);
    }
  }
  archive.Connection().Script(safe);
}

// As a front end stores: the entry, then the chain's head into its witness;
// the witness's share beside it.
std::vector<BenchRow> StoreMedian(const std::string& name, ChainedArchive& archive, int stores) {
  std::vector<double> times, witness;
  std::string error;
  for (int n = 0; n < stores; ++n) {
    const PlateRead read = Read(1000000 + n);
    const auto start = std::chrono::steady_clock::now();
    archive.AppendRead(read, &error);
    const auto appended = std::chrono::steady_clock::now();
    archive.RecordHead(&error);
    const auto end = std::chrono::steady_clock::now();
    times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    witness.push_back(std::chrono::duration<double, std::milli>(end - appended).count());
  }
  const double median = Median(times);
  return {{name + ": store a read (median, synchronous, with its witness)", Figure(median, "ms"),
           "< 2 ms", median < 2},
          {name + ": of which the witness (median)", Figure(Median(witness), "ms"), "-", true}};
}

std::vector<BenchRow> Figures(const std::string& name, ChainedArchive& archive, int reads,
                              int stores) {
  std::vector<BenchRow> rows;
  rows = StoreMedian(name, archive, stores);
  std::string error;
  std::vector<archive::ReadSummary> page;
  const double firstPage = TimedMs([&] {
    archive::ReadQuery first;
    first.limit = 100;
    archive.ListReads(first, false, &page, &error);
  });
  rows.push_back({name + ": first page of 100, newest first", Figure(firstPage, "ms"), "< 200 ms",
                  firstPage < 200});
  std::vector<archive::ReadSummary> all;
  const double list = TimedMs([&] { archive.ListReads({}, true, &all, &error); });
  rows.push_back({name + ": list all " + std::to_string(all.size()) + " reads with content",
                  Figure(list / 1000, "s"), "< 1 s", list < 1000});
  size_t streamed = 0;
  const double each = TimedMs([&] {
    archive.EachRead(
        {}, true, [&](const archive::ReadSummary& read) { streamed += read.content.size() > 0; },
        &error);
  });
  rows.push_back({name + ": stream all " + std::to_string(streamed) + " reads with content",
                  Figure(each / 1000, "s"), "< 1 s", each < 1000});
  archive::VerifyReport report;
  const double verify = TimedMs([&] { report = archive.Verify(); });
  rows.push_back({name + ": verify " + std::to_string(report.entries) + " entries" +
                      (report.ok ? "" : " (FAILED)"),
                  Figure(verify / 1000, "s"), "< 5 s", verify < 5000 && report.ok});
  (void)reads;
  return rows;
}

long long FileBytes(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : 0;
}

BenchRow CliRun(const std::string& cli, const std::string& args, const char* goal, double goalMs) {
  const std::string command = cli + " " + args + " > /dev/null";
  int code = 0;
  const double ms = TimedMs([&] { code = std::system(command.c_str()); });
  return {
      "platovix-cli " + args.substr(0, args.find(" --archive")) + (code != 0 ? " (FAILED)" : ""),
      Figure(ms / 1000, "s"), goal, ms < goalMs && code == 0};
}

}  // namespace

int main(int argc, char** argv) {
  int reads = 100000;
  int stores = 200;
  std::string fillOnly;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--reads") == 0) reads = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--stores") == 0) stores = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--fill") == 0) fillOnly = argv[i + 1];
  }
  if (!fillOnly.empty()) {
    archive::SqliteOpenNotes notes;
    auto sqlite = archive::OpenSqliteArchive(fillOnly, &notes);
    if (!sqlite) return 1;
    Fill(*sqlite, reads, "PRAGMA synchronous=OFF", "PRAGMA synchronous=FULL");
    return 0;
  }
  char pattern[] = "/tmp/platovix-bench-archive-XXXXXX";
  const std::string folder = mkdtemp(pattern);
  const std::string path = folder + "/archive.sqlite";
  // The witnesses beside it, not in the user's state folder.
  setenv("XDG_STATE_HOME", folder.c_str(), 1);
  std::vector<BenchRow> rows;

  std::fprintf(stderr, "Filling a SQLite archive with %d reads...\n", reads);
  {
    archive::SqliteOpenNotes notes;
    auto sqlite = archive::OpenSqliteArchive(path, &notes);
    Fill(*sqlite, reads, "PRAGMA synchronous=OFF", "PRAGMA synchronous=FULL");
    for (const BenchRow& row : Figures("SQLite", *sqlite, reads, stores)) rows.push_back(row);
  }
  const long long bytes = FileBytes(path) + FileBytes(path + "-wal");
  rows.push_back({"SQLite: size on disk of " + std::to_string(reads + stores) + " reads",
                  Figure(bytes / 1048576.0, "MB"), "< 200 MB", bytes < 200LL * 1048576});
  const double quick = TimedMs([&] { archive::DamageOf(path); });
  rows.push_back(
      {"SQLite: damage check before writing (quick_check)", Figure(quick, "ms"), "-", true});
  const double whole = TimedMs([&] {
    archive::SqliteOpenNotes notes;
    auto db = archive::OpenSqliteArchive(path, &notes);
    db->Connection().Script("PRAGMA integrity_check");
  });
  rows.push_back({"SQLite: full integrity_check, for comparison", Figure(whole, "ms"), "-", true});
  std::vector<double> stored;
  for (int n = 0; n < 20; ++n) {
    const PlateRead read = Read(2000000 + n);
    stored.push_back(TimedMs([&] { archive::StoreRead({path, ""}, read); }));
  }
  rows.push_back({"SQLite: a program's whole store (open, check, append)",
                  Figure(Median(stored), "ms"), "-", true});
  const std::string cli = PLATOVIX_CLI;
  rows.push_back(CliRun(cli, "archive list --archive " + path, "< 1 s", 1000));
  rows.push_back(CliRun(cli, "archive list --format json --archive " + path, "< 1 s", 1000));
  rows.push_back(CliRun(cli, "archive verify --archive " + path, "< 5 s", 5000));

  if (PostgresServer::Available()) {
    std::fprintf(stderr, "Filling a PostgreSQL archive (loopback) with %d reads...\n", reads);
    PostgresServer server(true);
    std::string note, error;
    auto lab = archive::OpenPostgresArchive(server.url(), &note, &error);
    if (!lab) {
      std::fprintf(stderr, "PostgreSQL: %s\n", error.c_str());
    } else {
      Fill(*lab, reads, "SET synchronous_commit = off", "SET synchronous_commit = on");
      for (const BenchRow& row : Figures("PostgreSQL", *lab, reads, stores)) rows.push_back(row);
      std::vector<archive::SqlRow> size;
      lab->Connection().Exec("SELECT pg_total_relation_size('entries')", {}, &size);
      const double mb = size.empty() ? 0 : std::atof(size[0][0].c_str()) / 1048576.0;
      rows.push_back({"PostgreSQL: size of the entries table and its indexes", Figure(mb, "MB"),
                      "< 200 MB", mb < 200});
      rows.push_back(CliRun(cli, "archive list --format json --archive '" + server.url() + "'",
                            "< 1 s", 1000));
      rows.push_back(CliRun(cli, "archive verify --archive '" + server.url() + "'", "< 5 s", 5000));
    }
  } else {
    std::fprintf(stderr, "no PostgreSQL server binaries: its figures are left out\n");
  }
  std::filesystem::remove_all(folder);

  std::printf("%-62s %-14s %-10s %s\n", "figure", "measured", "goal", "");
  for (const BenchRow& row : rows) {
    std::printf("%-62s %-14s %-10s %s\n", row.figure.c_str(), row.measured.c_str(),
                row.goal.c_str(), row.met ? "" : "MISSED");
  }
  return 0;
}
