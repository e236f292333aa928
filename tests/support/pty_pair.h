// A pseudo-terminal pair for serial tests: the program opens the far end's
// path like any serial device; the test plays the reader on the near end.
#pragma once

#include <string>

class PtyPair {
 public:
  PtyPair();   // aborts the test process if no pseudo-terminal can be had
  ~PtyPair();  // closes the near end (the far end sees a hang-up)
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  int master() const { return master_; }
  const std::string& slavePath() const { return slavePath_; }

  // Writes all bytes to the near end.
  void Write(const std::string& bytes);
  // Reads until count bytes arrived or timeoutMs passed; returns what came.
  std::string Read(size_t count, int timeoutMs);
  // Closes the near end now (as when the cable is pulled).
  void HangUp();

 private:
  int master_ = -1;
  std::string slavePath_;
};
