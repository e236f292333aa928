// platovix-sim --replay TRACE [--strict]: the recorded reader on a new
// pseudo-terminal, until SIGINT or SIGTERM (or the first difference, when
// strict). Returns the program's exit code: 0, 1 after a difference, 2 for a
// trace that cannot be read or a line that cannot be made.
#pragma once

#include <string>

namespace sim {

int RunReplay(const std::string& tracePath, bool strict, const std::string& linkPath);

}  // namespace sim
