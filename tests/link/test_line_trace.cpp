// The line trace: its byte notation, a whole conversation against the
// simulated reader written down event by event (compared with a golden file,
// time stamps masked), rotation at the size bound, and a trace file that
// cannot be written.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <regex>
#include <sstream>

#include "driver/foto.h"
#include "driver/traced_dialog.h"
#include "link/check_byte.h"
#include "link/line_trace.h"
#include "link/posix_serial_port.h"
#include "link/trace_text.h"
#include "link/traced_serial_port.h"
#include "sim/reader_simulator.h"
#include "sim/trace_file.h"
#include "tests/results/result_file_parsers.h"
#include "tests/support/recording_dialog.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace {

std::string ReadWhole(const fs::path& path) {
  return result_parsers::ReadWholeFile(path.string());
}

// The trace with every time stamp replaced by "T".
std::string MaskTimes(const std::string& trace) {
  return std::regex_replace(trace, std::regex("^[0-9]+ ", std::regex::multiline), "T ");
}

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/platovix-trace-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

}  // namespace

TEST(TraceBytes, NamesControlsQuotesTextAndWritesTheRestInHex) {
  EXPECT_EQ(TraceBytes(std::string{STX, 'Q', '@', ETX, '|'}), "STX \"Q@\" ETX \"|\"");
  EXPECT_EQ(TraceBytes(std::string{EOT, '2', '0', ENQ}), "EOT \"20\" ENQ");
  EXPECT_EQ(TraceBytes(std::string{ACK, NAK}), "ACK NAK");
  EXPECT_EQ(TraceBytes(std::string("a\"b\\c", 5)), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(TraceBytes(std::string{'\0', '\x7F', '\xAD', '\r', '\n'}), "0x00 0x7F 0xAD 0x0D 0x0A");
  EXPECT_EQ(TraceBytes(""), "\"\"");
  EXPECT_EQ(TraceBytes(" "), "\" \"");
}

// The simulator reads the notation with a decoder of its own: every byte
// sequence must come back unchanged.
TEST(TraceBytes, TheReplayReadsBackWhatTheTraceWrites) {
  std::mt19937 random(17);
  for (int round = 0; round < 500; ++round) {
    std::string bytes(random() % 40, '\0');
    for (char& c : bytes) c = static_cast<char>(random() % 256);
    std::string back;
    ASSERT_TRUE(sim::DecodeTraceBytes(TraceBytes(bytes), &back)) << TraceBytes(bytes);
    EXPECT_EQ(back, bytes) << TraceBytes(bytes);
  }
}

// A DigiScan filter read whose first command the reader refuses once: the
// opening, the frames with their check bytes, the acknowledgements, the
// resent frame, the status texts and the completion command, in order.
TEST(LineTrace, AKnownConversationGivesTheGoldenTrace) {
  TempDir dir;
  sim::Options options;
  options.family = sim::Family::DigiScan;
  sim::PtySimulator reader(options);
  reader.reader().InjectFault(sim::Fault::NakCommand);

  int error = 0;
  std::unique_ptr<SerialPort> port =
      PosixSerialPort::Open(reader.slavePath(), LineSettings{}, &error);
  ASSERT_TRUE(port) << error;
  auto trace = std::make_shared<LineTrace>((dir.path() / "trace.txt").string());
  port = std::make_unique<TracedSerialPort>(std::move(port), trace);
  RecordingDialog recorder;
  DialogHandle* dialog = &recorder;
  TracedDialog traced(&dialog, trace);
  DialogHandle* tracedHandle = &traced;

  trace->Begin("filters", "family=digiscan line=9600,7,E,2 device=/dev/ttyS0");
  std::unique_ptr<TFoto> driver(CreateReaderDriver(2, 0));
  PortHandle handle = port.get();
  AbortFlag abort{0};
  int32_t wavelengths[64] = {};
  int32_t count = 0;
  driver->ReadFilters(&handle, &tracedHandle, &abort, wavelengths, &count);
  ASSERT_EQ(recorder.Commands(), std::vector<int>{kFiltersDone});
  // The status line saw exactly what it sees without a trace.
  EXPECT_EQ(recorder.StatusTexts(), (std::vector<std::string>{"started", "connected", "detected",
                                                              "405 450 492 540 620 690"}));

  const fs::path golden =
      (fs::path(test_paths::SourceDir()) / "tests") / "link" / "golden" / "filters-digiscan.trace";
  const std::string masked = MaskTimes(ReadWhole(dir.path() / "trace.txt"));
  // After a deliberate change of the format: PLATOVIX_UPDATE_GOLDEN=1 writes it anew.
  if (getenv("PLATOVIX_UPDATE_GOLDEN") != nullptr) std::ofstream(golden) << masked;
  EXPECT_EQ(masked, ReadWhole(golden));
}

TEST(LineTrace, TimeStampsCountFromTheBeginOfEachOperation) {
  std::ostringstream out;
  LineTrace trace(out);
  trace.Begin("plate-in", "");
  usleep(20000);
  trace.Note("status", "\"x\"");
  trace.Begin("plate-out", "");
  const auto operations = sim::ParseTrace(out.str());
  ASSERT_EQ(operations.size(), 2u);
  ASSERT_EQ(operations[0].events.size(), 1u);
  EXPECT_GE(operations[0].events[0].us, 20000);
  EXPECT_EQ(operations[1].name, "plate-out");
  EXPECT_EQ(out.str().rfind("0 begin plate-out\n"), out.str().size() - 18);
}

TEST(LineTrace, RotatesAtTheBoundKeepingOneOlderFile) {
  TempDir dir;
  const fs::path file = dir.path() / "trace.txt";
  const std::uintmax_t bound = 2000;
  {
    LineTrace trace(file.string(), bound);
    for (int i = 0; i < 200; ++i) trace.Note("status", "\"event " + std::to_string(i) + "\"");
    EXPECT_TRUE(trace.IsOn());
  }
  EXPECT_LE(fs::file_size(file), bound);
  EXPECT_LE(fs::file_size(file.string() + ".1"), bound);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
  const std::string newest = ReadWhole(file);
  const std::string older = ReadWhole(file.string() + ".1");
  EXPECT_EQ(newest.rfind("# Platovix line trace", 0), 0u);
  EXPECT_EQ(older.rfind("# Platovix line trace", 0), 0u);
  EXPECT_NE(newest.find("\"event 199\"\n"), std::string::npos);
  // The older file ends just before the newest one starts.
  const auto firstNew = sim::ParseTrace("0 begin x\n" + newest)[0].events.front().data;
  const auto lastOld = sim::ParseTrace("0 begin x\n" + older)[0].events.back().data;
  EXPECT_EQ(std::stoi(firstNew.substr(6)), std::stoi(lastOld.substr(6)) + 1);
}

TEST(LineTrace, AFileThatCannotBeWrittenSwitchesTheTraceOffAndSaysSoOnce) {
  TempDir dir;
  std::ofstream(dir.path() / "plain") << "a file, not a directory";
  LineTrace unopenable((dir.path() / "plain" / "trace.txt").string());
  EXPECT_FALSE(unopenable.IsOn());
  EXPECT_EQ(unopenable.TakeFailure(), std::strerror(ENOTDIR));
  EXPECT_EQ(unopenable.TakeFailure(), std::nullopt);
  unopenable.Note("status", "\"nobody hears this\"");

  // A full disk: the file opens, its first line does not go in.
  LineTrace full("/dev/full");
  full.Begin("measure", "");
  EXPECT_FALSE(full.IsOn());
  EXPECT_EQ(full.TakeFailure(), std::strerror(ENOSPC));
  full.Note("status", "\"more\"");
  EXPECT_EQ(full.TakeFailure(), std::nullopt);
}

namespace {

// A port whose reads fail as an unplugged adapter's do.
class UnpluggedPort : public SerialPort {
 public:
  bool Read(void*, size_t, size_t* got) override {
    *got = 0;
    errno = EIO;
    return false;
  }
  bool Write(const void*, size_t count, size_t* written) override {
    *written = count / 2;
    errno = EAGAIN;
    return false;
  }
  uint32_t TakeLineErrors() override { return CE_RXPARITY; }
  void Purge() override {}
};

}  // namespace

TEST(TracedSerialPort, PassesFailuresOnWithTheirErrorNumber) {
  std::ostringstream out;
  auto trace = std::make_shared<LineTrace>(out);
  trace->Begin("measure", "");
  TracedSerialPort port(std::make_unique<UnpluggedPort>(), trace);
  char byte = 0;
  size_t got = 1;
  EXPECT_FALSE(port.Read(&byte, 1, &got));
  EXPECT_EQ(errno, EIO);
  size_t written = 0;
  EXPECT_FALSE(port.Write("ABCD", 4, &written));
  EXPECT_EQ(errno, EAGAIN);
  EXPECT_EQ(written, 2u);
  EXPECT_EQ(port.TakeLineErrors(), uint32_t{CE_RXPARITY});
  EXPECT_EQ(MaskTimes(out.str()),
            "T begin measure\n"
            "T error \"read: " +
                std::string(std::strerror(EIO)) +
                "\"\n"
                "T > \"AB\"\n"
                "T error \"write: " +
                std::strerror(EAGAIN) +
                "\"\n"
                "T line-errors 4\n");
}
