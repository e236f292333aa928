// Filter calibration against the simulated readers over a pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "sim/reader_simulator.h"
#include "tests/driver/operation_fixture.h"
#include "tests/driver/scripted_reader.h"

namespace {

using Texts = std::vector<std::string>;

class CalibrateTest : public OperationTest {
 protected:
  // The table as the calibration dialog leaves it: all six wavelengths,
  // the chosen positions flagged.
  void Choose(std::array<int32_t, 6> wavelengths, std::array<int32_t, 6> flags) {
    std::copy(wavelengths.begin(), wavelengths.end(), table);
    std::copy(flags.begin(), flags.end(), chosen);
    count = 6;
  }

  void OpenSimulator(sim::Family family, int calibrateMs = 200) {
    sim::Options options;
    options.family = family;
    options.calibrateMs = calibrateMs;
    reader_ = std::make_unique<sim::PtySimulator>(options);
    Open(reader_->slavePath(), family == sim::Family::DigiScan ? 0 : 1);
  }

  sim::ReaderSimulator& reader() { return reader_->reader(); }

  int32_t table[64] = {};
  int32_t chosen[64] = {};
  int32_t count = 0;
  std::unique_ptr<sim::PtySimulator> reader_;
};

TEST_F(CalibrateTest, OnePositionIsSentWaitedForAndTheTableReadBack) {
  OpenSimulator(sim::Family::DigiScan, 1000);  // busy for two polls at least
  Choose({405, 492, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0});

  EXPECT_EQ(Run(Calibrate(table, chosen, &count)), kCalibrateDone);
  EXPECT_EQ(FoldPolls(reader().Commands()), (Texts{"E", "Q+", "Ap", "Jf2492G", "Q+", "Af"}));
  const std::array<int, 6> filters = reader().Filters();
  EXPECT_EQ(filters[1], 492);
  EXPECT_EQ(std::vector<int32_t>(table, table + 6),
            std::vector<int32_t>(filters.begin(), filters.end()));
  EXPECT_EQ(count, 6);
  EXPECT_EQ(reader().EotCount(), 1);

  // The command, then a spinner turning once per poll: a backslash first.
  const Texts status = dialog().StatusTexts();
  ASSERT_GE(status.size(), 7u);  // two spinner texts at least
  EXPECT_EQ(Texts(status.begin(), status.begin() + 5),
            (Texts{"started", "connected", "detected", "Jf2492G", " Jf2492G \\"}));
  for (size_t i = 4; i + 1 < status.size(); ++i)
    EXPECT_EQ(status[i], i % 2 == 0 ? " Jf2492G \\" : " Jf2492G /");
  EXPECT_EQ(status.back(), "calibrated.");
}

TEST_F(CalibrateTest, ClearingAPositionIsWrittenInEachFamilysForm) {
  OpenSimulator(sim::Family::Jupiter);
  Choose({405, 450, 0, 540, 620, 690}, {0, 0, 1, 0, 0, 0});
  EXPECT_EQ(Run(Calibrate(table, chosen, &count)), kCalibrateDone);
  EXPECT_EQ(FoldPolls(reader().Commands()), (Texts{"E", "Q+", "F", "Ap", "Jf3000G", "Q+", "Af"}));
  EXPECT_EQ(table[2], 0);

  OpenSimulator(sim::Family::DigiScan);
  Choose({405, 450, 0, 540, 620, 690}, {0, 0, 1, 0, 0, 0});
  EXPECT_EQ(Run(Calibrate(table, chosen, &count)), kCalibrateDone);
  EXPECT_EQ(FoldPolls(reader().Commands()), (Texts{"E", "Q+", "Ap", "Jf30G", "Q+", "Af"}));
  EXPECT_EQ(table[2], 0);
}

// Each position is finished before the next is sent, in ascending order.
TEST_F(CalibrateTest, SeveralPositionsOneAfterTheOther) {
  OpenSimulator(sim::Family::Expert);
  Choose({340, 450, 492, 550, 620, 700}, {1, 0, 0, 1, 0, 1});
  EXPECT_EQ(Run(Calibrate(table, chosen, &count)), kCalibrateDone);
  EXPECT_EQ(FoldPolls(reader().Commands()),
            (Texts{"E", "Q+", "F", "Ap", "Jf1340G", "Q+", "Jf4550G", "Q+", "Jf6700G", "Q+", "Af"}));
  EXPECT_EQ(std::vector<int32_t>(table, table + 6),
            (std::vector<int32_t>{340, 450, 492, 550, 620, 700}));
}

TEST_F(CalibrateTest, ReaderErrorsWhileAPositionIsPolled) {
  struct Case {
    sim::Fault fault;
    const char* text;
  };
  for (const Case& c : {Case{sim::Fault::ReaderError, "System (5)"},
                        Case{sim::Fault::SyntaxError, "Syntax error."}}) {
    SCOPED_TRACE(c.text);
    OpenSimulator(sim::Family::Jupiter);
    Choose({405, 450, 492, 540, 620, 690}, {1, 0, 0, 0, 0, 0});
    Start(Calibrate(table, chosen, &count));
    ASSERT_TRUE(WaitForStatus("Jf1405G"));  // the "Q" before the command is past
    reader().InjectFault(c.fault, 1, 5);
    EXPECT_EQ(Finish(), kOperationFailed);
    EXPECT_EQ(dialog().LastStatus(), c.text);
    EXPECT_EQ(FoldPolls(reader().Commands()), (Texts{"E", "Q+", "F", "Ap", "Jf1405G", "Q+", "E"}));
    EXPECT_EQ(count, 6);  // the table stays as the dialog left it
    EXPECT_EQ(reader().EotCount(), 1);
  }
}

TEST_F(CalibrateTest, AbortWhileAPositionIsPolled) {
  OpenSimulator(sim::Family::DigiScan);
  Choose({405, 450, 492, 540, 620, 690}, {1, 0, 0, 0, 0, 0});
  Start(Calibrate(table, chosen, &count));
  ASSERT_TRUE(WaitForStatus("Jf1405G"));
  reader().InjectFault(sim::Fault::StuckBusy, -1);
  ASSERT_TRUE(WaitForStatus(" Jf1405G /"));
  // The plain pauses between polls do not look at the flag; the next "Q"
  // exchange does, at most 800 ms later.
  EXPECT_LT(AbortAndTime(), 1.5);
  EXPECT_EQ(dialog().Commands(), std::vector<int>{kUserAborted});
  EXPECT_EQ(dialog().LastStatus(), "User aborted.");
}

// A reply to "Q" too short to hold a status character says nothing: the
// position is polled again rather than judged by a character left over from
// an earlier frame.
TEST_F(CalibrateTest, AStatusReplyWithoutAStatusCharacterMeansBusy) {
  int statusQueries = 0;
  ScriptedReader reader(0, [&](const std::string& command) -> std::optional<std::string> {
    if (command == "Q") return ++statusQueries <= 3 ? "" : "0@";
    if (command == "Af") return "405 450 492 540 620 690";
    if (command == "Ap") return "Ap 12345";
    if (command == "E") return "E0";
    return std::nullopt;
  });
  Open(reader.slavePath(), 0);
  Choose({405, 450, 492, 540, 620, 690}, {0, 0, 0, 0, 1, 0});
  EXPECT_EQ(Run(Calibrate(table, chosen, &count)), kCalibrateDone);
  EXPECT_EQ(reader.Commands(), (Texts{"E", "Q", "Ap", "Jf5620G", "Q", "Q", "Q", "Af"}));
}

}  // namespace
