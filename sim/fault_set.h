// The faults a test or a trainer has asked for, each with how many more times
// it fires and its parameter. Not thread-safe: the simulator guards it.
#pragma once

#include <array>
#include <string>

#include "sim/reader_simulator.h"

namespace sim {

inline constexpr int kFaultCount = static_cast<int>(Fault::BlankField) + 1;

class FaultSet {
 public:
  void Inject(Fault fault, int times, int param);
  void Clear();
  // Consumes one firing when the fault is armed; its parameter goes to *param.
  bool Take(Fault fault, int* param = nullptr);
  bool Armed(Fault fault) const;

 private:
  struct Entry {
    int times = 0;  // < 0: for ever
    int param = 0;
  };
  std::array<Entry, kFaultCount> entries_{};
};

// Command-line names ("nak-command", "stray-bytes", ...).
const char* FaultName(Fault fault);
bool FaultFromName(const std::string& name, Fault* fault);

}  // namespace sim
