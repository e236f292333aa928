// platovix-cli against the simulated readers, in-process (RunCli) and, for
// the signal test, as a child process running the program's own main.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "cli/cli_run.h"
#include "results/file_time.h"
#include "results/result_text.h"
#include "results/shared_state.h"
#include "sim/reader_simulator.h"
#include "tests/results/result_file_parsers.h"
#include "tests/support/cli_in_process.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_home.h"

namespace fs = std::filesystem;
using namespace result_parsers;
using namespace std::chrono_literals;

namespace {

// What the program must make of the simulator's raw readings.
std::array<int32_t, kWells> ExpectedPlate(const sim::ReaderSimulator& reader, sim::Family family,
                                          int primary, int reference) {
  const int upper = family == sim::Family::DigiScan ? 3200 : 4100;
  const auto rule = [&](int raw) {
    if (family == sim::Family::Jupiter && raw == 99998) raw = -1;
    if (family == sim::Family::Expert && raw == 9998) raw = -1;
    return raw < -100 || raw > upper ? kNoValue : raw;
  };
  std::array<int32_t, kWells> values{};
  for (int well = 0; well < kWells; ++well) {
    const int p = rule(reader.Reading(primary, well));
    const int r = reference != 0 ? rule(reader.Reading(reference, well)) : 0;
    values[well] = p == kNoValue || r == kNoValue ? kNoValue : p - r;
  }
  return values;
}

// The clipboard text the desktop program would copy for the same plate.
std::string ClipboardText(const std::array<int32_t, kWells>& values, int primary, int reference,
                          bool comma) {
  TPlateResult plate;
  std::copy(values.begin(), values.end(), plate.nValue);
  plate.nPrimary = primary;
  plate.nReference = reference;
  plate.ftMeasured = FileTimeFromLocalNow();
  plate.bValid = 1;
  PlateResult = plate;
  AppSettings.bDelimComma = comma;
  AppSettings.bIncludeHeader = 1;
  return BuildResultText();
}

void ExpectWells(const std::array<int32_t, kWells>& expected,
                 const std::vector<std::optional<int>>& wells) {
  ASSERT_EQ(wells.size(), size_t(kWells));
  for (int i = 0; i < kWells; ++i) {
    if (expected[i] == kNoValue) {
      EXPECT_FALSE(wells[i]) << "well " << i;
    } else {
      EXPECT_EQ(wells[i], expected[i]) << "well " << i;
    }
  }
}

class CliReader : public ::testing::Test {
 protected:
  void SetUp() override {
    // A fixed date and time form: the header is then the same in the
    // program's output and in the text built here a few seconds later.
    SetResultDateTimeFormats("DATE", "TIME");
  }
  void TearDown() override {
    SetResultDateTimeFormats(nullptr, nullptr);
    fs::remove_all(home_);
  }

  static sim::Options Reader(sim::Family family) {
    sim::Options options;
    options.family = family;
    options.measureMs = 200;
    return options;
  }

  TempHome temp_{"cli"};
  const fs::path home_ = temp_.path();
};

}  // namespace

TEST_F(CliReader, BadUsageExits64WithoutTouchingThePort) {
  sim::PtySimulator reader(Reader(sim::Family::DigiScan));
  // Hold the port: had the program tried to open it, it would fail with 1.
  const int held = open(reader.slavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"measure", "--primary", "abc"},
        {"calibrate", "9=450"},
        {"calibrate", "2=150"},
        {"plate", "sideways"},
        {"launch"}}) {
    std::vector<std::string> withPort = {"--port", reader.slavePath()};
    withPort.insert(withPort.end(), args.begin(), args.end());
    const CliRun run = RunCliWith(withPort);
    EXPECT_EQ(run.code, kExitUsage) << run.err;
    EXPECT_EQ(run.err.rfind("platovix-cli: ", 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_TRUE(run.out.empty());
  }
  // Without --port and with no port in the settings there is nothing to open.
  EXPECT_EQ(RunCliWith({"id"}).code, kExitUsage);
  close(held);
  EXPECT_TRUE(reader.reader().Commands().empty());
}

TEST_F(CliReader, DigiScanMeasurePrintsTheClipboardText) {
  sim::PtySimulator reader(Reader(sim::Family::DigiScan));
  const CliRun run = RunCliWith(
      {"--port", reader.slavePath(), "--family", "digiscan", "measure", "--primary", "450"});
  ASSERT_EQ(run.code, kExitSuccess) << run.err;
  const auto expected = ExpectedPlate(reader.reader(), sim::Family::DigiScan, 450, 0);
  EXPECT_EQ(run.out, ClipboardText(expected, 450, 0, false));
  EXPECT_NE(run.err.find("measuring\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("success\n"), std::string::npos) << run.err;
}

TEST_F(CliReader, JupiterMeasureWithReferenceAndDecimalComma) {
  sim::PtySimulator reader(Reader(sim::Family::Jupiter));
  const CliRun run = RunCliWith({"--port", reader.slavePath(), "--family", "jupiter", "--yes",
                                 "measure", "--primary", "450", "--reference", "620", "--comma"});
  ASSERT_EQ(run.code, kExitSuccess) << run.err;
  const auto expected = ExpectedPlate(reader.reader(), sim::Family::Jupiter, 450, 620);
  EXPECT_EQ(run.out, ClipboardText(expected, 450, 620, true));
}

TEST_F(CliReader, DigiScanJsonParsesBackWithItsMetadata) {
  sim::PtySimulator reader(Reader(sim::Family::DigiScan));
  const CliRun run = RunCliWith({"--port", reader.slavePath(), "--family", "digiscan", "measure",
                                 "--primary", "450", "--reference", "620", "--format", "json"});
  ASSERT_EQ(run.code, kExitSuccess) << run.err;
  const Json json = ParseJson(run.out);
  EXPECT_EQ(json["reader"].text, "DigiScan");
  EXPECT_EQ(json["reader_id"].text, "12345");
  EXPECT_EQ(json["primary_nm"].number, 450);
  EXPECT_EQ(json["reference_nm"].number, 620);
  // To the second: at the simulator's pace a read may end in the second it began.
  EXPECT_LE(json["started"].text, json["completed"].text);
  std::vector<std::optional<int>> wells;
  for (const Json& row : json["values"].items) {
    for (const Json& cell : row.items) {
      wells.push_back(cell.IsNull() ? std::nullopt : std::optional<int>(int(cell.number)));
    }
  }
  ExpectWells(ExpectedPlate(reader.reader(), sim::Family::DigiScan, 450, 620), wells);
}

// Three reads into one CSV file: each block stamped with its own completion.
TEST_F(CliReader, ExpertKineticSeriesWritesThreeStampedReads) {
  sim::PtySimulator reader(Reader(sim::Family::Expert));
  const fs::path file = home_ / "kinetic.csv";
  const CliRun run = RunCliWith({"--port", reader.slavePath(), "--family", "jupiter", "measure",
                                 "--primary", "405", "--reference", "690", "--format", "csv",
                                 "--repeat", "3", "--every", "0.5", "--output", file.string()});
  ASSERT_EQ(run.code, kExitSuccess) << run.err;
  EXPECT_TRUE(run.out.empty());
  EXPECT_NE(run.err.find("read 3 of 3"), std::string::npos) << run.err;

  const auto lines = SplitLines(ReadWholeFile(file));
  constexpr size_t kBlockLines = 6 + 1 + 9;  // metadata, blank, grid
  ASSERT_EQ(lines.size(), 3 * kBlockLines + 2);
  const auto expected = ExpectedPlate(reader.reader(), sim::Family::Expert, 405, 690);
  std::string lastCompleted;
  for (size_t block = 0; block < 3; ++block) {
    const auto first = lines.begin() + long(block * (kBlockLines + 1));
    if (block > 0) {
      EXPECT_EQ(*(first - 1), "");
    }
    const CsvPlate plate =
        ParseCsvPlate(std::vector<std::string>(first, first + kBlockLines), ',', '.');
    EXPECT_EQ(plate.metadata.at("reader"), "Expert");
    EXPECT_EQ(plate.metadata.at("primary [nm]"), "405");
    EXPECT_EQ(plate.metadata.at("reference [nm]"), "690");
    EXPECT_GT(plate.metadata.at("completed"), lastCompleted);
    lastCompleted = plate.metadata.at("completed");
    ExpectWells(expected, plate.wells);
  }
}

TEST_F(CliReader, SilentReaderExits2) {
  PtyPair silent;  // nobody answers on the far end
  const auto start = std::chrono::steady_clock::now();
  const CliRun run = RunCliWith({"--port", silent.slavePath(), "filters"});
  EXPECT_EQ(run.code, kExitNotResponding) << run.err;
  EXPECT_NE(run.err.find("Reader not responding. Timeout ("), std::string::npos) << run.err;
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  EXPECT_TRUE(run.out.empty());
}

TEST_F(CliReader, MissingDeviceExits1WithTheSystemsText) {
  const CliRun run = RunCliWith({"--port", (home_ / "no-such-tty").string(), "plate", "in"});
  EXPECT_EQ(run.code, kExitFailure);
  EXPECT_NE(run.err.find("No such file or directory"), std::string::npos) << run.err;
}

TEST_F(CliReader, FiltersIdCalibrateAndCarrier) {
  sim::PtySimulator reader(Reader(sim::Family::DigiScan));
  const std::vector<std::string> port = {"--port", reader.slavePath()};
  const auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), port.begin(), port.end());
    return RunCliWith(args);
  };
  EXPECT_EQ(run({"filters"}).out, "405 450 492 540 620 690\n");
  EXPECT_EQ(run({"id"}).out, "12345\n");
  const CliRun calibrated = run({"calibrate", "2=500", "6=0"});
  EXPECT_EQ(calibrated.code, kExitSuccess) << calibrated.err;
  EXPECT_EQ(calibrated.out, "405 500 492 540 620 0\n");
  EXPECT_EQ(run({"plate", "out"}).code, kExitSuccess);
  const auto commands = reader.reader().Commands();
  EXPECT_NE(std::find(commands.begin(), commands.end(), "Jf2500G"), commands.end());
  EXPECT_NE(std::find(commands.begin(), commands.end(), "Jf60G"), commands.end());
  EXPECT_NE(std::find(commands.begin(), commands.end(), "IG"), commands.end());
}

// Without options the settings file names the port and the family; the
// file is read, never written.
TEST_F(CliReader, TakesPortAndFamilyFromTheSettingsFileAndLeavesItAlone) {
  sim::PtySimulator reader(Reader(sim::Family::Jupiter));
  const fs::path settings = home_ / "platovix.ini";
  const std::string text =
      "[Setup]\nreaderSubType=1\nnComPort=2\n[Ports]\nCOM2=" + reader.slavePath() + "\n";
  std::ofstream(settings) << text;
  const CliRun run = RunCliWith({"plate", "out"});
  EXPECT_EQ(run.code, kExitSuccess) << run.err;
  const auto commands = reader.reader().Commands();
  EXPECT_NE(std::find(commands.begin(), commands.end(), "Mx1jG"), commands.end())
      << "the Jupiter's way out";
  EXPECT_EQ(ReadWholeFile(settings), text);
}

// Ctrl+C in the middle of a measurement: the program releases the reader
// with EOT and exits 3, as the abort button ends the operation.
TEST_F(CliReader, SigintMidMeasurementExits3AndReleasesTheReader) {
  sim::Options options = Reader(sim::Family::DigiScan);
  sim::PtySimulator reader(options);
  int errPipe[2];
  ASSERT_EQ(pipe(errPipe), 0);
  std::cout.flush();
  std::cerr.flush();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(errPipe[0]);
    dup2(errPipe[1], STDERR_FILENO);
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDOUT_FILENO);
    std::string portPath = reader.slavePath();
    const char* argv[] = {"platovix-cli", "--port", portPath.c_str(), "measure",
                          "--primary",    "450",    nullptr};
    const int code = CliMain(6, const_cast<char**>(argv));
    std::cout.flush();
    _exit(code);
  }
  close(errPipe[1]);

  // Wait for the reader to be measuring, then press Ctrl+C.
  std::string progress;
  const auto deadline = std::chrono::steady_clock::now() + 15s;
  while (progress.find("measuring") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    pollfd pfd{errPipe[0], POLLIN, 0};
    if (poll(&pfd, 1, 100) > 0) {
      char buffer[256];
      const ssize_t n = read(errPipe[0], buffer, sizeof buffer);
      if (n <= 0) break;
      progress.append(buffer, size_t(n));
    }
  }
  ASSERT_NE(progress.find("measuring"), std::string::npos) << progress;
  const int eotsBefore = reader.reader().EotCount();
  kill(child, SIGINT);
  const auto signalled = std::chrono::steady_clock::now();

  int status = 0;
  pid_t done = 0;
  while ((done = waitpid(child, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() - signalled < 5s) {
    std::this_thread::sleep_for(10ms);
  }
  if (done == 0) kill(child, SIGKILL), waitpid(child, &status, 0);
  ASSERT_EQ(done, child) << "the program did not end after Ctrl+C";
  EXPECT_LT(std::chrono::steady_clock::now() - signalled, 1500ms);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kExitAborted);

  char buffer[512];
  ssize_t n;
  while ((n = read(errPipe[0], buffer, sizeof buffer)) > 0) progress.append(buffer, size_t(n));
  close(errPipe[0]);
  EXPECT_NE(progress.find("platovix-cli: User aborted."), std::string::npos) << progress;

  const auto eotDeadline = std::chrono::steady_clock::now() + 2s;
  while (reader.reader().EotCount() == eotsBefore &&
         std::chrono::steady_clock::now() < eotDeadline) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_GT(reader.reader().EotCount(), eotsBefore);
}

// The ELISA demo plate as the program sees it: blank-clean, with a clear
// standard curve and no negative wells.
TEST_F(CliReader, ElisaPlateReadAgainstItsReferenceLooksLikeAnAssay) {
  for (const sim::Family family : {sim::Family::DigiScan, sim::Family::Jupiter}) {
    sim::Options options = Reader(family);
    options.scenario = sim::PlateScenario::Elisa;
    sim::PtySimulator reader(options);
    const std::string name = family == sim::Family::DigiScan ? "digiscan" : "jupiter";
    const CliRun run =
        RunCliWith({"--port", reader.slavePath(), "--family", name, "--yes", "measure", "--primary",
                    "450", "--reference", "620", "--format", "json"});
    ASSERT_EQ(run.code, kExitSuccess) << run.err;
    const Json json = ParseJson(run.out);
    std::vector<std::optional<int>> wells;
    for (const Json& row : json["values"].items) {
      for (const Json& cell : row.items) {
        wells.push_back(cell.IsNull() ? std::nullopt : std::optional<int>(int(cell.number)));
      }
    }
    ExpectWells(ExpectedPlate(reader.reader(), family, 450, 620), wells);
    for (const int blank : {0, 12}) {  // A1, B1
      ASSERT_TRUE(wells[blank]);
      EXPECT_GE(*wells[blank], 0);
      EXPECT_LT(*wells[blank], 10);
    }
    for (const int top : {1, 2}) {  // A2, A3
      ASSERT_TRUE(wells[top]);
      EXPECT_GT(*wells[top], 2000);
    }
    for (int well = 0; well < kWells; ++well) {
      if (well % 12 >= 3) {
        EXPECT_GT(wells[well].value_or(-1), 0) << "sample well " << well;
      }
    }
  }
}
