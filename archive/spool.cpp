#include "archive/spool.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace archive {

namespace {

std::string StateFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return std::string(state) + "/platovix";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr && home[0] != '\0' ? home : ".") + "/.local/state/platovix";
}

// A locked file descriptor, closed (and so unlocked) at the end.
class LockedFile {
 public:
  LockedFile(const std::string& path, int flags)
      : fd_(open(path.c_str(), flags | O_CLOEXEC, 0600)) {
    if (fd_ >= 0 && flock(fd_, LOCK_EX) != 0) Close();
  }
  ~LockedFile() { Close(); }
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;
  int fd() const { return fd_; }

 private:
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  int fd_;
};

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[65536];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
    if (n > 0) text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

}  // namespace

std::vector<std::string> SpoolPaths(const std::string& archivePath) {
  return {archivePath + ".spool", StateFolder() + "/archive.spool"};
}

std::string SpoolEntry(const std::string& archivePath, const std::string& content,
                       std::string* error) {
  for (const std::string& path : SpoolPaths(archivePath)) {
    std::error_code ignored;  // a folder that cannot be made fails the open below
    std::filesystem::create_directories(path.substr(0, path.rfind('/')), ignored);
    LockedFile file(path, O_WRONLY | O_APPEND | O_CREAT);
    if (file.fd() < 0) {
      *error = path + ": " + std::strerror(errno);
      continue;
    }
    struct stat before {};
    fstat(file.fd(), &before);
    if (WriteAll(file.fd(), content + '\n') && fsync(file.fd()) == 0) return path;
    *error = path + ": " + std::strerror(errno);
    // A line cut short by a full disk would spoil the next one.
    if (ftruncate(file.fd(), before.st_size) != 0)
      *error += " (and the spool could not be repaired)";
  }
  return {};
}

int DrainSpools(const std::string& archivePath, ChainedArchive& archive, std::string* error) {
  int stored = 0;
  for (const std::string& path : SpoolPaths(archivePath)) {
    if (access(path.c_str(), F_OK) != 0) continue;
    LockedFile file(path, O_RDWR);
    if (file.fd() < 0) continue;
    const std::string text = ReadAll(file.fd());
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
      if (end == start) continue;
      // Stored at most once: the archive keeps an entry's UUID only once.
      if (!archive.AppendContent(text.substr(start, end - start), error)) return -1;
      ++stored;
    }
    if (ftruncate(file.fd(), 0) != 0 || fsync(file.fd()) != 0) {
      *error = path + ": " + std::strerror(errno);
      return -1;
    }
  }
  return stored;
}

}  // namespace archive
