// platovix-cli run inside the test process, its output caught.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_run.h"

struct CliRun {
  int code;
  std::string out;
  std::string err;
};

inline CliRun RunCliWith(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const CliIo io{out, err, false, -1};
  const int code = RunCli(args, io);
  return {code, out.str(), err.str()};
}
