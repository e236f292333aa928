// The forwarded state checked against the lab archive itself: an entry
// marked sent that the lab does not hold would never reach it otherwise.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_store.h"

namespace archive {

struct ForwardCheck {
  int64_t checked = 0;               // entries marked forwarded here
  std::vector<std::string> missing;  // their UUIDs the lab archive does not hold
  std::string error;                 // why nothing could be checked
};

ForwardCheck CheckForwarded(const StoreConfig& config);

}  // namespace archive
