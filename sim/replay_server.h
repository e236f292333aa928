// The reader's side of a recorded conversation, played back on a line: each
// unit the program sends is compared with the recording and answered with
// what the recorded reader sent after it, at the recorded delay. Every
// opening sequence starts the next recorded operation.
//
// Where the program sends something else, a strict replay reports the first
// difference and stops; otherwise a simulated reader of the recorded family
// takes over until the program ends the conversation.
#pragma once

#include <atomic>
#include <memory>
#include <ostream>
#include <string>
#include <thread>

#include "sim/replay_script.h"
#include "sim/sim_line.h"

namespace sim {

class ReplayServer {
 public:
  // report: where differences and the fall-back are told.
  ReplayServer(ReplayScript script, bool strict, std::ostream& report);
  ~ReplayServer();
  ReplayServer(const ReplayServer&) = delete;
  ReplayServer& operator=(const ReplayServer&) = delete;

  // Serves fd until stop (true) or until a strict replay met a difference
  // (false). A program that goes away is waited for, like the simulator does.
  bool Serve(int fd, const std::atomic<bool>& stop);

 private:
  enum class Unit { kGot, kQuiet, kStopped, kHungUp };
  Unit ReadUnit(SimLine& line, int firstByteMs, std::string* unit);
  void Play(SimLine& line, const ReplayStep& step, const std::atomic<bool>& stop);
  bool Differs(const std::string& unit, const std::string* expected);
  // The family reader answers until the program's EOT; unit is what it got
  // first. False when the line went away meanwhile.
  bool FallBack(SimLine& line, const std::string& unit);
  void StartFamilyReader();

  ReplayScript script_;
  bool strict_;
  std::ostream& report_;
  int operation_ = -1;  // the recorded operation being played, -1 between conversations
  size_t step_ = 0;
  int opened_ = 0;  // conversations the program has opened
  char pushedBack_ = 0;
  bool havePushedBack_ = false;

  std::unique_ptr<ReaderSimulator> family_;
  int familyFd_ = -1;  // our end of the family reader's line
  int familyPeer_ = -1;
  std::thread familyThread_;
};

}  // namespace sim
