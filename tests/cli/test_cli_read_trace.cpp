// The archive record of a traced read holds that read's trace, the same
// events as the trace file (and no other operation's), and never more than
// its bound however much the line carried.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "archive/archive_store.h"
#include "cli/bounded_text.h"
#include "results/shared_state.h"
#include "sim/reader_simulator.h"
#include "tests/support/cli_in_process.h"
#include "tests/support/temp_home.h"

namespace fs = std::filesystem;

namespace {

// The events of a trace without their times, from the last begin line on.
std::vector<std::string> LastOperationEvents(const std::string& trace) {
  std::vector<std::string> events;
  std::istringstream lines(trace);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::string event = line.substr(line.find(' ') + 1);
    if (event.rfind("begin ", 0) == 0) events.clear();
    events.push_back(event);
  }
  return events;
}

}  // namespace

TEST(ReadTrace, TheRecordHoldsTheTraceOfItsReadOnly) {
  const TempHome temp("read-trace");
  const fs::path& home = temp.path();
  sim::Options options;
  options.measureMs = 100;
  sim::PtySimulator reader(options);
  const std::string file = (home / "line.trace").string();
  const std::vector<std::string> traced = {"--port", reader.slavePath(), "--trace", file};
  auto with = [&](std::vector<std::string> args) {
    args.insert(args.begin(), traced.begin(), traced.end());
    return args;
  };
  ASSERT_EQ(RunCliWith(with({"filters"})).code, kExitSuccess);
  const CliRun run = RunCliWith(with({"measure", "--primary", "450"}));
  ASSERT_EQ(run.code, kExitSuccess) << run.err;
  ASSERT_EQ(RunCliWith({"--port", reader.slavePath(), "measure", "--primary", "450"}).code,
            kExitSuccess);

  std::vector<std::string> messages;
  std::string error;
  auto archive = archive::OpenArchiveForReading({}, &messages, &error);
  ASSERT_TRUE(archive) << error;
  std::vector<archive::PlateRead> reads;
  ASSERT_TRUE(archive->FindReads({}, &reads, &error)) << error;
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[0].trace, "");  // the newest, made without --trace
  const std::string& stored = reads[1].trace;
  EXPECT_EQ(stored.find("begin filters"), std::string::npos) << stored;
  std::stringstream whole;
  whole << std::ifstream(file).rdbuf();
  const std::vector<std::string> events = LastOperationEvents(stored);
  EXPECT_EQ(events, LastOperationEvents(whole.str()));
  ASSERT_GT(events.size(), 3u);
  EXPECT_EQ(events.front().rfind("begin measure", 0), 0u) << events.front();
}

TEST(ReadTrace, OnlyTheTailIsKeptFromWholeLines) {
  BoundedText text(1000);
  for (int i = 0; i < 5000; ++i) text << i << " < 0123456789\n";
  const std::string kept = text.Text();
  const size_t comment = kept.find('\n') + 1;
  EXPECT_EQ(kept.rfind("# the first ", 0), 0u) << kept.substr(0, comment);
  EXPECT_LE(kept.size() - comment, 1000u);
  EXPECT_GT(kept.size() - comment, 900u);
  EXPECT_EQ(kept.compare(comment, 5, "4945 "), 0) << kept.substr(comment, 20);  // a whole line
  EXPECT_EQ(kept.substr(kept.size() - 18), "4999 < 0123456789\n");
  text.Clear();
  text << "begin measure\n";
  EXPECT_EQ(text.Text(), "begin measure\n");
}
