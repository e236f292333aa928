// The instrument behind the line: what the reader does with each command
// text and what it answers. It knows nothing of frames or bytes; the
// simulator feeds it the text of every good command frame.
#pragma once

#include <array>
#include <chrono>
#include <string>
#include <vector>

#include "sim/fault_set.h"
#include "sim/plate_model.h"

namespace sim {

struct Response {
  bool hasReply = false;  // one reply frame follows the acknowledgement
  std::string reply;
  std::vector<std::string> blocks;  // or these data blocks, one frame each
};

class ReaderModel {
 public:
  using Clock = std::chrono::steady_clock;

  ReaderModel(const Options& options, const PlateModel& plate, FaultSet& faults);

  Response Handle(const std::string& command, Clock::time_point now);
  std::array<int, 6> Filters(Clock::time_point now);
  // When the measurement in hand was started (its plate's age and number).
  ReadMoment LastRead() const { return lastRead_; }

 private:
  enum class Activity { Idle, WaitingForPlate, Measuring, Moving, Calibrating };

  void Settle(Clock::time_point now);  // ends a busy phase whose time is up
  char StatusCharacter(Clock::time_point now);
  void StartBusy(Activity activity, int ms, Clock::time_point now);
  void SyntaxError() { syntaxError_ = true; }
  void ReaderError(int number);
  void BeginRead(Clock::time_point now);

  Response Start(const std::string& command, Clock::time_point now);
  Response Calibrate(const std::string& command, Clock::time_point now);
  Response Carrier(const std::string& command, Clock::time_point now);
  Response Transfer(const std::string& command);

  const Options& options_;
  const PlateModel& plate_;
  FaultSet& faults_;

  std::array<int, 6> filters_;
  Activity activity_ = Activity::Idle;
  Clock::time_point busyUntil_{};
  char idleStatus_;
  bool syntaxError_ = false;
  int readerError_ = 0;

  // The measurement in hand: wavelengths (0 = no reference) and whether its
  // data can be fetched.
  int primaryNm_ = 0;
  int referenceNm_ = 0;
  bool dataReady_ = false;
  // A plate's contents may change with time (enzyme kinetics): its age
  // counts from the plate-in command, or from the start of the simulator.
  Clock::time_point plateInAt_;
  ReadMoment lastRead_;
  int reads_ = 0;
  int calibratePosition_ = 0;  // 1..6 while a calibration runs
  int calibrateNm_ = 0;
};

}  // namespace sim
