// Measurements that do not end in a plate: the operator's answers and
// aborts, the reader's error reports, garbled data, filters the reader does
// not have, and model replies that only look like a Jupiter's.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "link/operator_message.h"
#include "sim/reader_simulator.h"
#include "tests/driver/operation_fixture.h"
#include "tests/driver/scripted_reader.h"

namespace {

using Texts = std::vector<std::string>;

class MeasureFaultTest : public OperationTest {
 protected:
  sim::ReaderSimulator& OpenSimulator(sim::Family family) {
    sim::Options options;
    options.family = family;
    options.measureMs = 300;
    simulator_ = std::make_unique<sim::PtySimulator>(options);
    Open(simulator_->slavePath(), family == sim::Family::DigiScan ? 0 : 1);
    return simulator_->reader();
  }

  void StartMeasuring(int primary = 492, int reference = 0) {
    Start(Measure(plate.data(), primary, reference));
  }

  std::vector<int32_t> plate = std::vector<int32_t>(96, 9999);
  std::unique_ptr<sim::PtySimulator> simulator_;
};

TEST_F(MeasureFaultTest, CancelInThePlateBoxSendsTheCarrierOutAndAborts) {
  sim::ReaderSimulator& reader = OpenSimulator(sim::Family::Jupiter);
  dialog().SetAnswer(kAnswerCancel);
  StartMeasuring();
  EXPECT_EQ(Finish(), kUserAborted);
  EXPECT_EQ(dialog().LastStatus(), "User aborted.");
  EXPECT_EQ(dialog().Questions(), Texts{"Confirm: Insert a plate and click OK\r\n"});
  EXPECT_EQ(FoldPolls(reader.Commands()),
            (Texts{"E", "Q+", "F", "Ap", "Af", "Sf3i4x3G", "Q+", "IG"}));
  EXPECT_EQ(reader.EotCount(), 1);
  EXPECT_FALSE(SawStatus("measuring"));
}

// A Jupiter that never asks for the plate keeps the loading loop going,
// counting, until the operator aborts; the wait between polls watches the
// abort flag.
TEST_F(MeasureFaultTest, AJupiterThatNeverAsksForThePlateWaitsForTheOperator) {
  sim::ReaderSimulator& reader = OpenSimulator(sim::Family::Jupiter);
  StartMeasuring();
  ASSERT_TRUE(WaitForStatus("preparing"));
  reader.InjectFault(sim::Fault::StuckBusy, -1);
  ASSERT_TRUE(WaitForStatus("ready test (4)"));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_LT(AbortAndTime(), 0.5);
  EXPECT_EQ(dialog().Commands(), std::vector<int>{kUserAborted});
  EXPECT_EQ(dialog().LastStatus(), "User aborted.");
  EXPECT_TRUE(dialog().Questions().empty());
}

TEST_F(MeasureFaultTest, AReaderErrorWhileThePlateIsLoaded) {
  sim::ReaderSimulator& reader = OpenSimulator(sim::Family::Jupiter);
  StartMeasuring();
  ASSERT_TRUE(WaitForStatus("preparing"));
  reader.InjectFault(sim::Fault::ReaderError, 1, 7);
  EXPECT_EQ(Finish(), kOperationFailed);
  EXPECT_EQ(dialog().LastStatus(), "Reader error 7.");
  EXPECT_STREQ(driver().szMessage, "Reader error 7.");
  EXPECT_EQ(FoldPolls(reader.Commands()),
            (Texts{"E", "Q+", "F", "Ap", "Af", "Sf3i4x3G", "Q+", "E"}));
}

TEST_F(MeasureFaultTest, ErrorReportsWhileTheReaderMeasures) {
  struct Case {
    sim::Family family;
    sim::Fault fault;
    const char* text;
  };
  for (const Case& c :
       {Case{sim::Family::DigiScan, sim::Fault::SyntaxError, "Command syntax error."},
        Case{sim::Family::Expert, sim::Fault::ReaderError, "Reader error 3."}}) {
    SCOPED_TRACE(c.text);
    sim::ReaderSimulator& reader = OpenSimulator(c.family);
    StartMeasuring();
    ASSERT_TRUE(WaitForStatus("measuring"));
    reader.InjectFault(c.fault, 1, 3);
    EXPECT_EQ(Finish(), kOperationFailed);
    EXPECT_EQ(dialog().LastStatus(), c.text);
    const Texts sent = FoldPolls(reader.Commands());
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(Texts(sent.end() - 2, sent.end()), (Texts{"Q+", "E"}));
    EXPECT_EQ(reader.EotCount(), 1);
  }
}

TEST_F(MeasureFaultTest, AShortDataBlockIsGarbledData) {
  sim::ReaderSimulator& reader = OpenSimulator(sim::Family::Expert);
  StartMeasuring();
  ASSERT_TRUE(WaitForStatus("measuring"));
  reader.InjectFault(sim::Fault::ShortBlock);
  EXPECT_EQ(Finish(), kOperationFailed);
  EXPECT_EQ(dialog().LastStatus(), "Data garbled.");
  EXPECT_TRUE(SawStatus("1 / 6"));
  EXPECT_FALSE(SawStatus("2 / 6"));
  EXPECT_EQ(reader.EotCount(), 1);
}

TEST_F(MeasureFaultTest, AbortWhileWaitingForTheReader) {
  // Waiting for an idle reader before anything is started.
  sim::ReaderSimulator& busy = OpenSimulator(sim::Family::DigiScan);
  busy.InjectFault(sim::Fault::StuckBusy, -1);
  StartMeasuring();
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  EXPECT_LT(AbortAndTime(), 1.0);  // a plain 300 ms pause, then the "Q" exchange
  EXPECT_EQ(dialog().Commands(), std::vector<int>{kUserAborted});
  EXPECT_EQ(FoldPolls(busy.Commands()), (Texts{"E", "Q+"}));

  // The 4000 ms before the first measurement poll.
  sim::ReaderSimulator& reader = OpenSimulator(sim::Family::DigiScan);
  StartMeasuring();
  ASSERT_TRUE(WaitForStatus("measuring"));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_LT(AbortAndTime(), 0.3);
  EXPECT_EQ(dialog().Commands(), std::vector<int>{kUserAborted});
  EXPECT_EQ(dialog().LastStatus(), "User aborted.");
  EXPECT_EQ(reader.EotCount(), 1);
}

TEST_F(MeasureFaultTest, FiltersTheReaderDoesNotHave) {
  for (auto [primary, reference, text] : {std::tuple{999, 0, "Filter 999 not in reader."},
                                          std::tuple{405, 777, "Filter 777 not in reader."}}) {
    sim::ReaderSimulator& reader = OpenSimulator(sim::Family::DigiScan);
    StartMeasuring(primary, reference);
    EXPECT_EQ(Finish(), kOperationFailed);
    EXPECT_EQ(dialog().LastStatus(), text);
    EXPECT_EQ(FoldPolls(reader.Commands()), (Texts{"E", "Q+", "Ap", "Af"}));
  }
}

// Readers played by the test: the model reply decides the start command.
class ScriptedMeasureTest : public OperationTest {
 protected:
  // Runs until the status line shows abortAt, then aborts; returns the
  // commands the reader received.
  Texts StartOn(const std::string& model, const std::string& filters, int primary, int reference,
                const std::string& abortAt = "measuring") {
    reader_ = std::make_unique<ScriptedReader>(
        1, [=](const std::string& command) -> std::optional<std::string> {
          if (command == "E") return "E0";
          if (command == "Q") return "0D";
          if (command == "F") return model;
          if (command == "Ap") return "Ap 12345";
          if (command == "Af") return filters;
          return std::nullopt;
        });
    Open(reader_->slavePath(), 1);
    Start(Measure(plate_.data(), primary, reference));
    WaitForStatus(abortAt, std::chrono::seconds(3));
    AbortAndTime();
    return FoldPolls(reader_->Commands());
  }

  std::vector<int32_t> plate_ = std::vector<int32_t>(96, 9999);
  std::unique_ptr<ScriptedReader> reader_;
};

TEST_F(ScriptedMeasureTest, OnlyAnExactFSCHMakesAJupiter) {
  const std::string filters = "405 450 492 540 620 690";
  EXPECT_EQ(StartOn("fsch 96", filters, 450, 450),
            (Texts{"E", "Q+", "F", "Ap", "Af", "Sf2f2c0i1x3G"}));
  EXPECT_EQ(dialog().StatusTexts()[2], "Expert");
  EXPECT_FALSE(SawStatus("preparing"));

  EXPECT_EQ(StartOn("FSC", filters, 405, 0), (Texts{"E", "Q+", "F", "Ap", "Af", "Sf1c0i1x3G"}));
  EXPECT_EQ(dialog().StatusTexts()[2], "Expert");

  // A reply of "D" is not a plate request: the Jupiter keeps being asked.
  EXPECT_EQ(StartOn("FSCH", filters, 690, 405, "ready test (2)"),
            (Texts{"E", "Q+", "F", "Ap", "Af", "Sf6f1i4x3G", "Q+"}));
  EXPECT_EQ(dialog().StatusTexts()[2], "Jupiter");
}

TEST_F(ScriptedMeasureTest, FiveFilterNumbersAreNotAFilterTable) {
  EXPECT_EQ(StartOn("FEXP", "405 450 492 540 620", 405, 0, "Filters not found."),
            (Texts{"E", "Q+", "F", "Ap", "Af"}));
  EXPECT_EQ(dialog().Commands(), std::vector<int>{kOperationFailed});
  EXPECT_EQ(dialog().LastStatus(), "Filters not found.");
}

}  // namespace
