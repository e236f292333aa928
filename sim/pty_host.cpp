#include "sim/pty_host.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace sim {

PtyHost::~PtyHost() {
  Close();
  struct stat st {};
  if (!linkPath_.empty() && lstat(linkPath_.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
    unlink(linkPath_.c_str());
}

bool PtyHost::Open(const std::string& linkPath, std::string* error) {
  linkPath_ = linkPath;
  if (!linkPath_.empty()) {
    struct stat st {};
    if (lstat(linkPath_.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
      *error = linkPath_ + " exists and is not a symbolic link";
      linkPath_.clear();
      return false;
    }
  }
  return OpenPair(error) && PointLink(error);
}

int PtyHost::Reopen() {
  // The new pair and the link come first: a program that sees the line drop
  // and opens the path again at once must find the new far end there.
  const int old = master_;
  master_ = -1;
  std::string error;
  const bool ok = OpenPair(&error) && PointLink(&error);
  if (old >= 0) close(old);
  if (!ok) {
    std::fprintf(stderr, "platovix-sim: %s\n", error.c_str());
    Close();
    return -1;
  }
  return master_;
}

bool PtyHost::OpenPair(std::string* error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    *error = std::string("no pseudo-terminal: ") + std::strerror(errno);
    Close();
    return false;
  }
  farEnd_ = ptsname(master_);
  // Raw from the start: a program that has not yet set up the line must not
  // see its own bytes echoed back as if the reader had sent them.
  termios t{};
  if (tcgetattr(master_, &t) == 0) {
    cfmakeraw(&t);
    tcsetattr(master_, TCSANOW, &t);
  }
  return true;
}

bool PtyHost::PointLink(std::string* error) {
  if (linkPath_.empty()) return true;
  // Build the new link beside the old one and rename it over: the path never
  // goes missing for a program that opens it just then.
  const std::string temporary = linkPath_ + ".new" + std::to_string(getpid());
  unlink(temporary.c_str());
  if (symlink(farEnd_.c_str(), temporary.c_str()) != 0 ||
      rename(temporary.c_str(), linkPath_.c_str()) != 0) {
    *error = "cannot link " + linkPath_ + ": " + std::strerror(errno);
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

void PtyHost::Close() {
  if (master_ >= 0) close(master_);
  master_ = -1;
}

}  // namespace sim
