#include "sim/fault_set.h"

namespace sim {

namespace {

const char* const kNames[kFaultCount] = {
    "nak-command",           "corrupt-reply-check", "stray-bytes",          "silent-before-ack",
    "silent-mid-reply",      "silent-before-block", "hang-up-mid-transfer", "reader-error",
    "syntax-error",          "stuck-busy",          "short-block",          "long-block",
    "block-out-of-sequence", "blank-field",
};

}  // namespace

void FaultSet::Inject(Fault fault, int times, int param) {
  entries_[static_cast<int>(fault)] = Entry{times, param};
}

void FaultSet::Clear() {
  entries_.fill(Entry{});
}

bool FaultSet::Take(Fault fault, int* param) {
  Entry& e = entries_[static_cast<int>(fault)];
  if (e.times == 0) return false;
  if (e.times > 0) --e.times;
  if (param != nullptr) *param = e.param;
  return true;
}

bool FaultSet::Armed(Fault fault) const {
  return entries_[static_cast<int>(fault)].times != 0;
}

const char* FaultName(Fault fault) {
  return kNames[static_cast<int>(fault)];
}

bool FaultFromName(const std::string& name, Fault* fault) {
  for (int i = 0; i < kFaultCount; ++i) {
    if (name == kNames[i]) {
      *fault = static_cast<Fault>(i);
      return true;
    }
  }
  return false;
}

}  // namespace sim
