// Moving the carrier, against the simulated readers over a pseudo-terminal.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/reader_simulator.h"
#include "tests/driver/operation_fixture.h"
#include "tests/driver/scripted_reader.h"

namespace {

using Commands = std::vector<std::string>;

sim::Options Quick(sim::Family family) {
  sim::Options options;
  options.family = family;
  options.moveMs = 100;
  return options;
}

class MovePlateTest : public OperationTest {};

TEST_F(MovePlateTest, EachReaderAndDirectionSendsItsCarrierCommands) {
  struct Case {
    sim::Family family;
    bool out;
    Commands expected;
    const char* name;  // status after "connected"; null for DigiScan
  };
  const Case cases[] = {
      {sim::Family::DigiScan, false, {"E", "Q+", "Ap", "Mm2000G", "Q+"}, nullptr},
      {sim::Family::DigiScan, true, {"E", "Q+", "Ap", "IG", "Q+"}, nullptr},
      {sim::Family::Jupiter, false, {"E", "Q+", "Ap", "F", "IG", "Q+"}, "Jupiter"},
      {sim::Family::Jupiter,
       true,
       {"E", "Q+", "Ap", "F", "Mx1jG", "Q+", "Mx0m3000G", "Q+"},
       "Jupiter"},
      {sim::Family::Expert, false, {"E", "Q+", "Ap", "F", "Mm2000G", "Q+"}, "Expert"},
      {sim::Family::Expert, true, {"E", "Q+", "Ap", "F", "IG", "Q+"}, "Expert"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.expected[3]) + (c.out ? " out" : " in"));
    sim::PtySimulator reader(Quick(c.family));
    Open(reader.slavePath(), c.family == sim::Family::DigiScan ? 0 : 1);

    EXPECT_EQ(Run(MovePlate(c.out)), kPlateMoved);
    EXPECT_EQ(FoldPolls(reader.reader().Commands()), c.expected);
    Commands status{"started", "connected"};
    if (c.name != nullptr) status.push_back(c.name);
    status.push_back("");  // the status line is emptied at the end
    EXPECT_EQ(dialog().StatusTexts(), status);
    EXPECT_STREQ(driver().szReaderId, "12345");
    EXPECT_EQ(reader.reader().EotCount(), 1);
  }
}

// Any status but an idle one keeps the move going, error bits included,
// until the operator gives up.
TEST_F(MovePlateTest, AReaderStuckBusyIsPolledUntilTheOperatorAborts) {
  sim::PtySimulator reader(Quick(sim::Family::Expert));
  Open(reader.slavePath(), 1);
  Start(MovePlate(false));
  ASSERT_TRUE(WaitForStatus("Expert"));
  reader.reader().InjectFault(sim::Fault::StuckBusy, -1);
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  EXPECT_TRUE(dialog().Commands().empty());
  const Commands sent = FoldPolls(reader.reader().Commands());
  ASSERT_GE(sent.size(), 6u);
  EXPECT_EQ(sent[4], "Mm2000G");

  // The 300 ms pause between polls does not look at the flag; the exchange
  // after it does.
  EXPECT_LT(AbortAndTime(), 1.0);
  EXPECT_EQ(dialog().Commands(), std::vector<int>{kUserAborted});
  EXPECT_EQ(dialog().LastStatus(), "User aborted.");
  EXPECT_EQ(reader.reader().EotCount(), 1);
}

// A Jupiter or Expert carries its number in the model reply; the carrier
// move takes it from there, and keeps the old one when that reply has none.
TEST_F(MovePlateTest, TheIdentificationNumberComesFromTheModelReply) {
  // The reader's thread reads the model text while the test changes it.
  std::atomic<const char*> model{"FSCH 96000 rev 3"};
  ScriptedReader reader(1, [&model](const std::string& command) -> std::optional<std::string> {
    if (command == "F") return std::string(model.load());
    if (command == "Ap") return "Ap SN 54321";
    if (command == "Q" || command == "E") return "0D";
    return std::nullopt;
  });
  Open(reader.slavePath(), 1);
  std::strcpy(driver().szReaderId, "11111");
  EXPECT_EQ(Run(MovePlate(true)), kPlateMoved);
  EXPECT_STREQ(driver().szReaderId, "96000");
  EXPECT_EQ(FoldPolls(reader.Commands()),
            (Commands{"E", "Q+", "Ap", "F", "Mx1jG", "Q+", "Mx0m3000G", "Q+"}));

  model = "FSCH rev 3";
  Open(reader.slavePath(), 1);
  std::strcpy(driver().szReaderId, "11111");
  EXPECT_EQ(Run(MovePlate(false)), kPlateMoved);
  EXPECT_STREQ(driver().szReaderId, "11111");
}

}  // namespace
