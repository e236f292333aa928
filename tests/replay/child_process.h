// The real programs as child processes: one that runs to its end with its
// output collected, and a simulator that runs in the background and names
// its pseudo-terminal on its first line of output.
#pragma once

#include <string>
#include <vector>

struct Finished {
  int code = -1;  // exit code; -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Runs program with args (no shell); stdin is /dev/null.
Finished RunProgram(const std::string& program, const std::vector<std::string>& args);

class BackgroundProgram {
 public:
  BackgroundProgram(const std::string& program, const std::vector<std::string>& args);
  ~BackgroundProgram();  // SIGTERM and wait, if still running
  BackgroundProgram(const BackgroundProgram&) = delete;
  BackgroundProgram& operator=(const BackgroundProgram&) = delete;

  // The first line it printed (waits up to 10 s); empty when none came.
  const std::string& firstLine() const { return firstLine_; }
  // Asks it to stop (SIGTERM) unless it has ended, waits and returns its exit
  // code; its standard error is then in err().
  int Stop();
  // Waits up to timeoutMs for it to end on its own; its exit code, or -1.
  int WaitForExit(int timeoutMs);
  const std::string& err() const { return err_; }

 private:
  void Collect();

  int pid_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  std::string firstLine_;
  std::string err_;
  int code_ = -1;
};
