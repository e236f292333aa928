// A pseudo-terminal pair for the simulator: it keeps the near end (master)
// and offers the far end to the program, optionally under a fixed symbolic
// link that follows it when the pair is replaced after a hang-up.
#pragma once

#include <string>

namespace sim {

class PtyHost {
 public:
  PtyHost() = default;
  ~PtyHost();  // closes the pair and removes the link
  PtyHost(const PtyHost&) = delete;
  PtyHost& operator=(const PtyHost&) = delete;

  // Opens a fresh pair; with a link path, points the link at the far end (an
  // existing file there that is not a symbolic link is left alone: error).
  bool Open(const std::string& linkPath, std::string* error);
  // Closes the pair, so that the program holding the far end sees the line
  // drop, and opens a new one behind the same link. The new master, or -1.
  int Reopen();

  int master() const { return master_; }
  const std::string& farEnd() const { return farEnd_; }
  // The link when there is one, else the far end's own path.
  const std::string& path() const { return linkPath_.empty() ? farEnd_ : linkPath_; }

 private:
  bool OpenPair(std::string* error);
  bool PointLink(std::string* error);
  void Close();

  int master_ = -1;
  std::string farEnd_;
  std::string linkPath_;
};

}  // namespace sim
