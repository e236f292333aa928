// Where the source tree and the built programs are, found at run time from
// the test program's own place in the build tree (<build>/tests/test_x, and
// <build>/CMakeCache.txt names the source tree). Compiled in, these paths
// would differ from clone to clone, and no clone's tests could be served
// from the compiler cache another clone filled.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

namespace test_paths {

inline std::filesystem::path BuildDir() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path();
}

inline const std::string& SourceDir() {
  static const std::string dir = [] {
    std::ifstream cache(BuildDir() / "CMakeCache.txt");
    const std::string key = "CMAKE_HOME_DIRECTORY:INTERNAL=";
    for (std::string line; std::getline(cache, line);) {
      if (line.rfind(key, 0) == 0) return line.substr(key.size());
    }
    return std::string("/nonexistent-source-tree");
  }();
  return dir;
}

// A program of the build: "sim/platovix-sim", "cli/platovix-cli", ...
inline std::string Program(const std::string& relative) {
  return (BuildDir() / relative).string();
}

}  // namespace test_paths
