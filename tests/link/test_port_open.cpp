// Opening the reader's port the way an operation does: COMn mapped to a
// pseudo-terminal through [Ports], the test playing the reader on the
// near end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "link/operator_message.h"
#include "link/port_setup.h"
#include "link/system_error.h"
#include "link/worker_thread.h"
#include "results/shared_state.h"
#include "tests/support/message_boxes.h"
#include "tests/support/pty_pair.h"

namespace {

using namespace message_boxes;

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class PortOpen : public testing::Test {
 protected:
  void SetUp() override {
    boxes.clear();
    previous_ = SetMessageBoxHandler(RecordBox);
    savedSettings_ = AppSettings;
    savedPorts_ = PortMap;
    PortMap.szDevice[1] = pty_.slavePath();
    AppSettings.nComPort = 1;
  }
  void TearDown() override {
    ClosePort();
    SetMessageBoxHandler(previous_);
    AppSettings = savedSettings_;
    PortMap = savedPorts_;
  }

  // OpenPort refused: no port open and exactly one "Error" box, with text.
  void ExpectRefusedWith(const std::string& text) {
    boxes.clear();
    EXPECT_TRUE(OpenPort(nullptr));
    EXPECT_EQ(hComPort, kInvalidPort);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, text);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].icon, kIconError);
  }

  // Reads until count bytes came from the program, within a generous bound.
  std::string ReadFromProgram(size_t count) {
    std::string got;
    const auto start = Clock::now();
    while (got.size() < count && MsSince(start) < 2000) {
      char buffer[64];
      size_t n = 0;
      if (!hComPort->Read(buffer, sizeof buffer, &n)) break;
      got.append(buffer, n);
    }
    return got;
  }

  PtyPair pty_;
  MessageBoxHandler previous_ = nullptr;
  TAppSettings savedSettings_;
  TPortMap savedPorts_;
};

}  // namespace

TEST(PortDevice, UnmappedPortsAreTheBuiltInSerialLines) {
  const TPortMap saved = PortMap;
  PortMap = TPortMap{};
  EXPECT_EQ(PortDevicePath(1), "/dev/ttyS0");
  EXPECT_EQ(PortDevicePath(4), "/dev/ttyS3");
  PortMap.szDevice[2] = "/dev/ttyUSB0";
  EXPECT_EQ(PortDevicePath(2), "/dev/ttyUSB0");
  EXPECT_EQ(PortDevicePath(1), "/dev/ttyS0");
  PortMap = saved;
}

TEST_F(PortOpen, BytesTravelBothWaysUnchanged) {
  ASSERT_FALSE(OpenPort(nullptr));
  ASSERT_NE(hComPort, kInvalidPort);
  EXPECT_TRUE(boxes.empty());

  const std::string toReader(
      "\x02"
      "E\r\xAD\x00\xFF\x03",
      7);
  size_t written = 0;
  ASSERT_TRUE(hComPort->Write(toReader.data(), toReader.size(), &written));
  EXPECT_EQ(written, toReader.size());
  EXPECT_EQ(pty_.Read(toReader.size(), 2000), toReader);

  const std::string fromReader("\x06\x02Q\xAD\x00\r\x03\x04", 8);
  pty_.Write(fromReader);
  EXPECT_EQ(ReadFromProgram(fromReader.size()), fromReader);
}

TEST_F(PortOpen, LongWriteArrivesWhole) {
  ASSERT_FALSE(OpenPort(nullptr));
  std::string block(64 * 1024, '\0');
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 7);
  std::string received;
  std::thread reader([&] { received = pty_.Read(block.size(), 5000); });
  size_t written = 0;
  EXPECT_TRUE(hComPort->Write(block.data(), block.size(), &written));
  reader.join();
  EXPECT_EQ(written, block.size());
  EXPECT_EQ(received, block);
}

TEST_F(PortOpen, EmptyLineWaitsBrieflyThenDataComes) {
  ASSERT_FALSE(OpenPort(nullptr));
  char buffer[16];
  size_t got = 99;
  auto start = Clock::now();
  ASSERT_TRUE(hComPort->Read(buffer, sizeof buffer, &got));
  const long waited = MsSince(start);
  EXPECT_EQ(got, 0u);
  EXPECT_GE(waited, 50);
  EXPECT_LT(waited, 1000);

  // A byte arriving during the wait ends it early with the byte.
  std::thread late([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    pty_.Write("Q");
  });
  start = Clock::now();
  std::string got_text;
  while (got_text.empty() && MsSince(start) < 2000) {
    ASSERT_TRUE(hComPort->Read(buffer, sizeof buffer, &got));
    got_text.append(buffer, got);
  }
  late.join();
  EXPECT_EQ(got_text, "Q");

  // What is buffered comes back at once.
  pty_.Write("ABC");
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  start = Clock::now();
  ASSERT_TRUE(hComPort->Read(buffer, sizeof buffer, &got));
  EXPECT_EQ(std::string(buffer, got), "ABC");
  EXPECT_LT(MsSince(start), 50);
}

TEST_F(PortOpen, HungUpLineFailsPromptly) {
  ASSERT_FALSE(OpenPort(nullptr));
  pty_.HangUp();
  char buffer[16];
  size_t got = 0;
  const auto start = Clock::now();
  errno = 0;
  EXPECT_FALSE(hComPort->Read(buffer, sizeof buffer, &got));
  EXPECT_EQ(errno, EIO);
  EXPECT_EQ(got, 0u);
  EXPECT_LT(MsSince(start), 300);
  size_t written = 0;
  EXPECT_FALSE(hComPort->Write("E", 1, &written));
}

TEST_F(PortOpen, PortInUseIsRefusedWithTheSystemText) {
  int error = 0;
  auto other = PosixSerialPort::Open(pty_.slavePath(), LineSettings{}, &error);
  ASSERT_TRUE(other) << error;

  EXPECT_FALSE(SystemText(EWOULDBLOCK).empty());
  ExpectRefusedWith(SystemText(EWOULDBLOCK));

  other.reset();  // the other user lets go: now it opens
  EXPECT_FALSE(OpenPort(nullptr));
}

TEST_F(PortOpen, MissingDeviceIsAnInvalidPortNumber) {
  PortMap.szDevice[3] = "/nonexistent/platovix-tty";
  AppSettings.nComPort = 3;
  ExpectRefusedWith("Invalid serial port number.");
}

TEST_F(PortOpen, NotASerialDeviceOrBadFormatShowsTheSystemText) {
  PortMap.szDevice[2] = "/dev/null";
  AppSettings.nComPort = 2;
  ExpectRefusedWith(SystemText(ENOTTY));

  AppSettings.nComPort = 1;
  AppSettings.nBits = 9;
  ExpectRefusedWith(SystemText(EINVAL));

  AppSettings.nBits = 7;
  AppSettings.nBaudRate = 0;  // would mean "hang up" to the line
  ExpectRefusedWith(SystemText(EINVAL));

  // After all that the port is free for a good format.
  AppSettings.nBaudRate = 9600;
  EXPECT_FALSE(OpenPort(nullptr));
}

TEST_F(PortOpen, StandardAndOddSpeedsAreTaken) {
  for (int baud : {9600, 19200, 31250, 250000}) {
    SCOPED_TRACE(baud);
    AppSettings.nBaudRate = baud;
    EXPECT_FALSE(OpenPort(nullptr));
    EXPECT_NE(hComPort, kInvalidPort);
  }
  EXPECT_TRUE(boxes.empty()) << boxes[0].text;
}

TEST_F(PortOpen, ReopeningClosesTheOldPortAndClosingTwiceIsHarmless) {
  ASSERT_FALSE(OpenPort(nullptr));
  // Were the first port still open, its lock would refuse the second open.
  ASSERT_FALSE(OpenPort(nullptr)) << boxes[0].text;
  EXPECT_TRUE(boxes.empty());
  ClosePort();
  EXPECT_EQ(hComPort, kInvalidPort);
  ClosePort();
  EXPECT_EQ(hComPort, kInvalidPort);

  CloseThreadHandle();
  hWorkerThread = WorkerThread::CreateSuspended([] {});
  CloseThreadHandle();
  EXPECT_EQ(hWorkerThread, nullptr);
  CloseThreadHandle();
}
