// Every operation on every reader against every fault of the line and of
// the reader: the dialog gets exactly one completion command, the one the
// fault calls for, with the right text in the status line; nothing hangs
// (each cell ends within the link's time-outs plus a margin) and the reader
// is released with EOT wherever the line still works. A failed measurement
// never ends in 801, so the dialog never marks its values valid.
//
// Each cell is its own test with its own simulator on its own
// pseudo-terminal, so CTest runs them side by side.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "driver/foto.h"
#include "tests/driver/operation_fixture.h"
#include "tests/faults/fault_cells.h"
#include "tests/support/pty_pair.h"

namespace faults {
namespace {

using Clock = std::chrono::steady_clock;
using sim::Fault;

int BlocksPerPass(sim::Family family) {
  return family == sim::Family::DigiScan ? 12 : family == sim::Family::Jupiter ? 2 : 6;
}

// How the simulator is told to misbehave, and when: faults meant for the
// measurement are armed once its status line says "measuring" (the next
// exchange is a status query, 4 s later); the calibration's errors once the
// command for position 2 has gone out. Everything else is armed before the
// operation starts and strikes at the first chance.
struct Arming {
  Fault fault;
  int times = 1;
  int param = 0;
  std::string atStatus;  // empty: before the start
};

bool ArmingFor(const Cell& cell, Arming* arming) {
  const bool measure = IsMeasure(cell.operation);
  const std::string during = measure ? "measuring" : "";
  switch (cell.fault) {
    case LineFault::None:
    case LineFault::NoReader:
      return false;
    case LineFault::NakOnce:
      *arming = {Fault::NakCommand, 1, 0, during};
      return true;
    case LineFault::NakTwice:
      *arming = {Fault::NakCommand, 2, 0, ""};
      return true;
    case LineFault::BadCheckOnce:
      *arming = {Fault::CorruptReplyCheck, 1, 0, during};
      return true;
    case LineFault::BadCheckTwice:
      *arming = {Fault::CorruptReplyCheck, 2, 0, ""};
      return true;
    case LineFault::StrayBytes:
      *arming = {Fault::StrayBytes, 1, 63, during};
      return true;
    case LineFault::TooManyStrayBytes:
      *arming = {Fault::StrayBytes, 1, 64, ""};
      return true;
    case LineFault::SilentBeforeAck:
      *arming = {Fault::SilentBeforeAck, 1, 0, ""};
      return true;
    case LineFault::SilentMidReply:
      *arming = {Fault::SilentMidReply, 1, 0, ""};
      return true;
    case LineFault::SilentWhileMeasuring:
      *arming = {Fault::SilentBeforeAck, 1, 0, "measuring"};
      return true;
    case LineFault::SilentBeforeBlock: {
      const bool reference = cell.operation == faults::Operation::MeasureWithReference;
      *arming = {Fault::SilentBeforeBlock, 1, reference ? BlocksPerPass(cell.family) : 1, ""};
      return true;
    }
    case LineFault::HangUpMidTransfer:
      *arming = {Fault::HangUpMidTransfer, 1, 0, ""};
      return true;
    case LineFault::ReaderError:
      *arming = {Fault::ReaderError, 1, 7, measure ? "measuring" : "Jf2492G"};
      return true;
    case LineFault::SyntaxError:
      *arming = {Fault::SyntaxError, 1, 0, measure ? "measuring" : "Jf2492G"};
      return true;
    case LineFault::ShortBlock:
      *arming = {Fault::ShortBlock, 1, 0, ""};
      return true;
    case LineFault::LongBlock:
      *arming = {Fault::LongBlock, 1, 0, ""};
      return true;
    case LineFault::BlockOutOfSequence:
      *arming = {Fault::BlockOutOfSequence, 1, 0, ""};
      return true;
    case LineFault::BlankField:
      *arming = {Fault::BlankField, 1, 3, ""};
      return true;
    case LineFault::StuckBusy:
      *arming = {Fault::StuckBusy, -1, 0, ""};
      return true;
    case LineFault::StuckInError:
      *arming = {Fault::ReaderError, -1, 7, ""};
      return true;
    case LineFault::ErrorBeforeStart:
      *arming = {Fault::ReaderError, 1, 7, ""};
      return true;
  }
  return false;
}

bool OperatorAborts(const Cell& cell) {
  return cell.fault == LineFault::StuckBusy || cell.fault == LineFault::StuckInError;
}

sim::Options SimOptions(sim::Family family) {
  sim::Options options;
  options.family = family;
  options.measureMs = 60;  // done by the first status query after the 4 s wait
  options.moveMs = 40;
  options.calibrateMs = 40;
  return options;
}

int Count(const std::vector<std::string>& commands, const std::string& command) {
  return static_cast<int>(std::count(commands.begin(), commands.end(), command));
}

}  // namespace

class FaultMatrix : public OperationTest, public ::testing::WithParamInterface<Cell> {
 protected:
  void SetUp() override {
    const Cell& cell = GetParam();
    const int subType = cell.family == sim::Family::DigiScan ? 0 : 1;
    if (cell.fault == LineFault::NoReader) {
      noReader_ = std::make_unique<PtyPair>();
      Open(noReader_->slavePath(), subType);
    } else {
      sim_ = std::make_unique<sim::PtySimulator>(SimOptions(cell.family));
      Open(sim_->slavePath(), subType);
    }
    std::fill(std::begin(values_), std::end(values_), 9999);
    std::copy(std::begin(kFilters), std::end(kFilters), wavelengths_);
    flags_[1] = 1;          // calibrate position 2 ...
    wavelengths_[1] = 492;  // ... to 492 nm ("Jf2492G")
    count_ = 6;
  }

  OperationTest::Operation OperationOf(const Cell& cell) {
    switch (cell.operation) {
      case faults::Operation::Measure:
        return Measure(values_, 405, 0);
      case faults::Operation::MeasureWithReference:
        return Measure(values_, 405, 620);
      case faults::Operation::ReadFilters:
        return ReadFilters(wavelengths_, &count_);
      case faults::Operation::Calibrate:
        return Calibrate(wavelengths_, flags_, &count_);
      case faults::Operation::PlateIn:
        return MovePlate(false);
      case faults::Operation::PlateOut:
        break;
    }
    return MovePlate(true);
  }

  sim::ReaderSimulator* reader() { return sim_ ? &sim_->reader() : nullptr; }

  static constexpr int32_t kFilters[6] = {405, 450, 492, 540, 620, 690};
  std::unique_ptr<sim::PtySimulator> sim_;
  std::unique_ptr<PtyPair> noReader_;
  int32_t values_[96];
  int32_t wavelengths_[64] = {};
  int32_t flags_[64] = {};
  int32_t count_ = 0;
};

TEST_P(FaultMatrix, EndsWithTheRightCompletionAndText) {
  const Cell& cell = GetParam();
  Arming arming{};
  const bool armed = ArmingFor(cell, &arming);
  if (armed && arming.atStatus.empty())
    reader()->InjectFault(arming.fault, arming.times, arming.param);

  const auto start = Clock::now();
  const auto deadline =
      start + std::chrono::milliseconds(static_cast<int>(cell.withinSeconds * 1000));
  Start(OperationOf(cell));

  if (armed && !arming.atStatus.empty()) {
    ASSERT_TRUE(WaitForStatus(arming.atStatus, std::chrono::seconds(10)))
        << "never showed \"" << arming.atStatus << "\"";
    reader()->InjectFault(arming.fault, arming.times, arming.param);
  }
  if (OperatorAborts(cell)) {
    // Abort once the operation has been left polling a few times, unless
    // it has no reason to poll and ends by itself.
    while (Clock::now() < deadline && dialog().Commands().empty() &&
           Count(reader()->Commands(), "Q") < 4) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (dialog().Commands().empty()) AbortAndTime();
  }

  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  const int completion =
      Finish(std::chrono::duration_cast<std::chrono::seconds>(left) + std::chrono::seconds(1));
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ASSERT_NE(completion, 0) << "no completion within " << cell.withinSeconds << " s";
  EXPECT_LE(seconds, cell.withinSeconds);

  EXPECT_EQ(dialog().Commands(), std::vector<int>{cell.completion}) << "exactly one completion";
  const std::string status = dialog().LastStatus();
  if (cell.systemText) {
    // The port failed: the system's own words, not one of the link's texts.
    EXPECT_FALSE(status.empty());
    EXPECT_EQ(status.find("Garbled"), std::string::npos);
    EXPECT_EQ(status.find("Timeout"), std::string::npos);
  } else if (cell.status == "Timeout (") {
    int ms = 0;
    ASSERT_EQ(std::sscanf(status.c_str(), "Timeout (%d).", &ms), 1) << status;
    EXPECT_GE(ms, 1600);
    EXPECT_LT(ms, 2600);
  } else {
    EXPECT_EQ(status, cell.status);
  }
  if (cell.completion != kMeasureDone && cell.completion != kFiltersDone &&
      cell.completion != kCalibrateDone && cell.completion != kPlateMoved) {
    // The text the dialog shows in its box (806) is the one in the status line.
    EXPECT_STREQ(driver().szMessage, status.c_str());
  }
  if (IsMeasure(cell.operation) && cell.completion == kMeasureDone) {
    for (int well = 0; well < 96; ++well) ASSERT_NE(values_[well], 9999) << "well " << well;
  }

  if (cell.eotExpected) {
    const auto until = Clock::now() + std::chrono::seconds(2);
    while (reader()->EotCount() == 0 && Clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_GE(reader()->EotCount(), 1) << "the reader was not released";
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(AllCells()),
                         [](const ::testing::TestParamInfo<Cell>& info) {
                           return CellName(info.param);
                         });

}  // namespace faults
