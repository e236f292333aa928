// platovix-cli --trace: appends one begin line per operation, "-" writes to
// stderr, and a trace that cannot be written costs one message, never the
// measurement.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli_run.h"
#include "results/shared_state.h"
#include "sim/reader_simulator.h"
#include "sim/trace_file.h"
#include "tests/support/temp_home.h"

namespace fs = std::filesystem;

namespace {

struct TracedRun {
  int code;
  std::string out;
  std::string err;
};

TracedRun RunCliHere(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = RunCli(args, CliIo{out, err, false, -1});
  return {code, out.str(), err.str()};
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class CliTraceTest : public ::testing::Test {
 protected:
  TempHome temp_{"cli-trace"};
  const fs::path home_ = temp_.path();
};

}  // namespace

TEST_F(CliTraceTest, AppendsOneOperationPerRun) {
  sim::PtySimulator reader(sim::Options{});
  const std::string file = (home_ / "line.trace").string();
  for (int i = 0; i < 2; ++i) {
    const TracedRun run = RunCliHere({"--port", reader.slavePath(), "--trace", file, "filters"});
    ASSERT_EQ(run.code, kExitSuccess) << run.err;
    EXPECT_EQ(run.out, "405 450 492 540 620 690\n");
  }
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(Count(text.str(), "# Platovix line trace"), 1u);
  const auto operations = sim::ParseTrace(text.str());
  ASSERT_EQ(operations.size(), 2u);
  for (const auto& op : operations) {
    EXPECT_EQ(op.name, "filters");
    EXPECT_EQ(op.details.at("family"), "digiscan");
    EXPECT_EQ(op.details.at("device"), reader.slavePath());
    EXPECT_EQ(op.events.back().kind, "done");
    EXPECT_EQ(op.events.back().data, "802");
  }
  // Nothing of the user's world: no home directory, no user or host name.
  EXPECT_EQ(text.str().find(home_.string()), std::string::npos);
  if (const char* user = getenv("USER"); user != nullptr && *user != '\0') {
    EXPECT_EQ(text.str().find(std::string("=") + user), std::string::npos);
  }
}

TEST_F(CliTraceTest, DashWritesTheTraceToStderrBesideTheProgress) {
  sim::PtySimulator reader(sim::Options{});
  const TracedRun run = RunCliHere({"--port", reader.slavePath(), "--trace", "-", "plate", "in"});
  ASSERT_EQ(run.code, kExitSuccess) << run.err;
  EXPECT_NE(run.err.find(" begin plate-in family=digiscan"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(" > STX \"Mm2000G\" ETX"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(" done 807\n"), std::string::npos) << run.err;
}

TEST_F(CliTraceTest, AFullDiskIsReportedOnceAndTheMeasurementStillSucceeds) {
  sim::Options options;
  options.measureMs = 100;
  sim::PtySimulator reader(options);
  const TracedRun run = RunCliHere(
      {"--port", reader.slavePath(), "--trace", "/dev/full", "measure", "--primary", "450"});
  ASSERT_EQ(run.code, kExitSuccess) << run.err;
  EXPECT_EQ(Count(run.err, "cannot write the line trace /dev/full"), 1u) << run.err;
  EXPECT_EQ(Count(run.out, "\n"), 9u);  // the plate and its header line
}

TEST_F(CliTraceTest, TraceWantsAFileName) {
  const TracedRun run = RunCliHere({"--trace", "", "filters"});
  EXPECT_EQ(run.code, kExitUsage);
  EXPECT_NE(run.err.find("--trace"), std::string::npos);
}
