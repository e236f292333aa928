// measure keeps every read in the archive before it prints anything, and
// the archive commands give the reads back.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>

#include "archive/archive_store.h"
#include "cli/cli_run.h"
#include "results/shared_state.h"
#include "sim/reader_simulator.h"
#include "tests/support/cli_in_process.h"
#include "tests/support/temp_home.h"

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

// Output that looks into the archive the moment the first character comes.
class CheckedAtFirstOutput : public std::stringbuf {
 public:
  explicit CheckedAtFirstOutput(std::function<void()> check) : check_(std::move(check)) {}

 protected:
  int overflow(int c) override {
    First();
    return std::stringbuf::overflow(c);
  }
  std::streamsize xsputn(const char* text, std::streamsize n) override {
    First();
    return std::stringbuf::xsputn(text, n);
  }

 private:
  void First() {
    if (check_) std::exchange(check_, nullptr)();
  }
  std::function<void()> check_;
};

std::vector<archive::PlateRead> ArchivedReads() {
  std::vector<std::string> messages;
  std::string error;
  auto archive = archive::OpenArchiveForReading({}, &messages, &error);
  std::vector<archive::PlateRead> reads;
  if (archive) archive->FindReads({}, &reads, &error);
  return reads;
}

CliRun Cli(const std::vector<std::string>& args, std::function<void()> atFirstOutput = nullptr) {
  CheckedAtFirstOutput buffer(std::move(atFirstOutput));
  std::ostream out(&buffer);
  std::ostringstream err;
  const int code = RunCli(args, CliIo{out, err, false, -1});
  return {code, buffer.str(), err.str()};
}

class CliArchive : public ::testing::Test {
 protected:
  TempHome temp_{"cli-archive"};
  const fs::path home_ = temp_.path();
};

}  // namespace

TEST_F(CliArchive, MeasureStoresEveryReadBeforePrintingAndTheArchiveGivesItBack) {
  sim::Options options;
  options.measureMs = 100;
  sim::PtySimulator reader(options);
  const std::vector<std::string> port = {"--port", reader.slavePath(), "--family", "digiscan"};
  const auto with = [&](std::vector<std::string> args) {
    args.insert(args.begin(), port.begin(), port.end());
    return args;
  };

  size_t storedWhenPrinted = 0;
  const CliRun measured =
      Cli(with({"measure", "--primary", "450", "--plate-id", "PLATE-7", "--format", "json"}),
          [&] { storedWhenPrinted = ArchivedReads().size(); });
  ASSERT_EQ(measured.code, kExitSuccess) << measured.err;
  EXPECT_EQ(storedWhenPrinted, 1u);
  const Json printed = Json::parse(measured.out);

  const CliRun list = Cli({"archive", "list", "--format", "json"});
  ASSERT_EQ(list.code, kExitSuccess) << list.err;
  const Json reads = Json::parse(list.out);
  ASSERT_EQ(reads.size(), 1u);
  const Json& read = reads[0];
  EXPECT_EQ(read["plateId"], "PLATE-7");
  EXPECT_EQ(read["status"], "completed");
  EXPECT_FALSE(read["operator"].get<std::string>().empty());
  EXPECT_EQ(read["values"], printed["values"]);  // 8 x 12 thousandths, null for no value
  EXPECT_EQ(read["readerId"], printed["reader_id"]);
  const std::string uuid = read["uuid"];

  // Scripts that keep their own records store nothing.
  ASSERT_EQ(Cli(with({"measure", "--primary", "450", "--no-archive"})).code, kExitSuccess);
  EXPECT_EQ(ArchivedReads().size(), 1u);

  // An aborted read is kept too, with the driver's word.
  bAbort.store(1);
  const CliRun aborted = Cli(with({"measure", "--primary", "450", "--plate-id", "PLATE-8"}));
  bAbort.store(0);
  EXPECT_EQ(aborted.code, kExitAborted);
  const CliRun byPlate = Cli({"archive", "list", "--plate-id", "PLATE-8", "--format", "json"});
  const Json abortedRead = Json::parse(byPlate.out);
  ASSERT_EQ(abortedRead.size(), 1u);
  EXPECT_EQ(abortedRead[0]["status"], "aborted");
  EXPECT_FALSE(abortedRead[0]["message"].get<std::string>().empty());

  const CliRun table = Cli({"archive", "list"});
  EXPECT_EQ(std::count(table.out.begin(), table.out.end(), '\n'), 3);  // header and two reads
  const CliRun csv = Cli({"archive", "show", uuid, "--format", "csv"});
  ASSERT_EQ(csv.code, kExitSuccess) << csv.err;
  EXPECT_NE(csv.out.find("\nA,"), std::string::npos);
  const CliRun shown = Cli({"archive", "show", uuid});
  EXPECT_EQ(Json::parse(shown.out)["audit"], Json::array());
  const std::string exported = (home_ / "export.json").string();
  ASSERT_EQ(Cli({"archive", "export", uuid, "-o", exported}).code, kExitSuccess);
  EXPECT_EQ(Json::parse(std::ifstream(exported))[0]["uuid"], uuid);
  EXPECT_EQ(Cli({"archive", "show", "no-such-read"}).code, kExitFailure);
  EXPECT_EQ(Cli({"archive", "verify"}).code, kExitSuccess);
  EXPECT_EQ(Cli({"archive", "forward"}).code, kExitFailure);  // no lab archive set up
  EXPECT_EQ(Cli({"archive", "list", "--no-archive"}).code, kExitUsage);
  EXPECT_EQ(Cli({"archive", "export", uuid}).code, kExitUsage);
}
