// One smoke test per family: the program's own line protocol talks to the
// simulator over a pseudo-terminal, faults that the link must ride out
// included.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "driver/foto.h"
#include "link/posix_serial_port.h"
#include "sim/reader_simulator.h"
#include "tests/sim/sim_fixture.h"

using sim::Family;
using sim::Fault;

namespace {

struct FamilyCase {
  Family family;
  const char* start;  // 405 nm primary (position 1), 620 nm reference (position 5)
  const char* transfer;
  char finished;
  int blocks;
  int blockLength;
};

class ProgramLinkSmoke : public ::testing::TestWithParam<FamilyCase> {};

TEST_P(ProgramLinkSmoke, WholeConversationWithFaultsOnTheWay) {
  const FamilyCase c = GetParam();
  sim::PtySimulator sim(FastOptions(c.family));
  int error = 0;
  auto port = PosixSerialPort::Open(sim.slavePath(), LineSettings{}, &error);
  ASSERT_NE(port, nullptr) << error;
  TRodeFoto driver(0, c.family == Family::DigiScan ? 0 : 1);
  AbortFlag abort{0};
  driver.hPort = port.get();
  driver.pbAbort = &abort;
  auto status = [&driver] {
    driver.Exchange("Q");
    return driver.szLine[1];
  };

  try {
    driver.Connect();
    sim.reader().InjectFault(Fault::NakCommand);  // the link sends the frame again
    driver.Exchange("E");
    EXPECT_STREQ(driver.szLine, "E0");
    sim.reader().InjectFault(Fault::CorruptReplyCheck);  // the link NAKs, the reader repeats
    sim.reader().InjectFault(Fault::StrayBytes, 1, 20);
    driver.Exchange("Ap");
    EXPECT_NE(std::string(driver.szLine).find("12345"), std::string::npos);
    driver.Exchange("F");
    EXPECT_EQ(std::string(driver.szLine).rfind("FSCH", 0) == 0, c.family == Family::Jupiter);
    driver.Exchange("Af");
    EXPECT_STREQ(driver.szLine, "405 450 492 540 620 690");

    driver.SendCommand(c.start);
    if (c.family == Family::Jupiter) {
      EXPECT_EQ(status(), '`');
      driver.SendCommand("SgG");
    }
    char s = 'A';
    for (int i = 0; i < 100 && s == 'A'; ++i) {
      driver.WaitAbortable(0);
      s = status();
    }
    ASSERT_EQ(s, c.finished);

    driver.SendCommand(c.transfer);
    for (int b = 0; b < c.blocks; ++b) {
      driver.ReceiveReply();
      EXPECT_EQ(driver.nLineLen, c.blockLength) << b;
    }
  } catch (const ESerExc& failure) {
    FAIL() << "code " << failure.nCode << ": " << driver.szMessage;
  }
  driver.SendEot();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(sim.reader().EotCount(), 1);
  const auto commands = sim.reader().Commands();
  EXPECT_EQ(commands.front(), "E");
  EXPECT_EQ(commands.back(), c.transfer);
}

TEST(ProgramLink, ReaderThatFallsSilentTimesTheLinkOut) {
  sim::PtySimulator sim(FastOptions(Family::DigiScan));
  int error = 0;
  auto port = PosixSerialPort::Open(sim.slavePath(), LineSettings{}, &error);
  ASSERT_NE(port, nullptr) << error;
  TRodeFoto driver(0, 0);
  AbortFlag abort{0};
  driver.hPort = port.get();
  driver.pbAbort = &abort;
  driver.Connect();
  sim.reader().InjectFault(Fault::SilentMidReply);
  int code = 0;
  try {
    driver.Exchange("Q");
  } catch (const ESerExc& failure) {
    code = failure.nCode;
  }
  EXPECT_EQ(code, 1) << driver.szMessage;
  // The reader is still there for the program's next try.
  driver.SendEot();
  driver.Connect();
  driver.Exchange("Q");
  EXPECT_EQ(driver.nLineLen, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Families, ProgramLinkSmoke,
    ::testing::Values(FamilyCase{Family::DigiScan, "Sf1f5x3G", "Ad2", '@', 24, 43},
                      FamilyCase{Family::Jupiter, "Sf1f5i4x3G", "Ax", 'D', 4, 240},
                      FamilyCase{Family::Expert, "Sf1f5c0i1x3G", "Ax", 'D', 12, 64}),
    [](const ::testing::TestParamInfo<FamilyCase>& info) {
      return std::string(info.param.family == Family::DigiScan  ? "DigiScan"
                         : info.param.family == Family::Jupiter ? "Jupiter"
                                                                : "Expert");
    });

}  // namespace
