// A recorded conversation turned into what the simulated reader has to do:
// for every unit the program sent, the bytes the reader sent after it and
// when. A silence in the recording (the reader never answered) is simply
// nothing to send, so the program runs into its own time-out again.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "sim/reader_simulator.h"
#include "sim/trace_file.h"

namespace sim {

struct ReaderRun {
  std::chrono::microseconds delay;  // after the program's unit
  std::string bytes;
};

struct ReplayStep {
  std::string unit;  // what the program sent
  std::vector<ReaderRun> answer;
};

struct ReplayOperation {
  std::string name;
  std::vector<ReplayStep> steps;
};

struct ReplayScript {
  std::vector<ReplayOperation> operations;
  // A reader of the recorded family, with the recorded identification and
  // filters, for whatever the recording does not cover.
  Options family;
};

ReplayScript BuildReplayScript(const std::vector<TracedOperation>& trace);

}  // namespace sim
