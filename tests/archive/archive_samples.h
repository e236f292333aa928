// Reads and folders the archive tests share.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "archive/plate_read.h"

namespace archive_samples {

inline archive::PlateRead SampleRead(int n) {
  archive::PlateRead read;
  read.uuid = archive::NewUuid();
  read.plateId = "P-" + std::to_string(n);
  read.operatorName = "lab";
  read.host = "bench-1";
  read.readerFamily = "DigiScan";
  read.readerId = "12345";
  read.readerDevice = "/dev/ttyUSB0";
  read.primaryNm = 450;
  read.referenceNm = 620;
  read.started = "2026-12-07T16:20:00+01:00";
  read.completed = "2026-12-07T16:20:" + std::to_string(10 + n % 50) + "+01:00";
  read.programVersion = "0.1.0";
  for (int well = 0; well < kWells; ++well) read.values[well] = (n * 97 + well * 31) % 3000;
  read.values[5] = kNoValue;
  read.assayName = n % 2 == 0 ? "ELISA" : "Bradford";
  read.assayJson = R"({"name":")" + read.assayName + R"("})";
  return read;
}

// A temporary folder, removed at the end.
class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/platovix-archive-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Runs body in a child process (another program, as far as SQLite and the
// server can tell); its exit code, or -1 when it did not exit.
inline int InChild(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) _exit(body());
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace archive_samples
