// platovix-cli run inside the test process, its output caught.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "tests/support/test_paths.h"

#ifdef PLATOVIX_WITH_REPORT
inline constexpr bool kWithReport = true;
#else
inline constexpr bool kWithReport = false;  // a build without Qt writes no PDF
#endif

// The example layout of the simulator's ELISA plate, as the program ships it.
inline const std::string kExampleLayout = test_paths::SourceDir() + "/examples/elisa-layout.csv";

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
