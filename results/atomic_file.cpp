#include "results/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace {

std::string SystemText(int error) {
  return std::generic_category().message(error);
}

std::atomic<RenameFunction> renameFile{::rename};

// The old file's permissions, or those the umask gives a new file.
mode_t ModeFor(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) return info.st_mode & 07777;
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A link stays a link: what it points to is what gets replaced.
std::string FollowLink(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char* target = realpath(path.c_str(), nullptr);
  if (target == nullptr) return path;
  std::string resolved(target);
  std::free(target);
  return resolved;
}

bool MakeDirectories(const std::string& directory) {
  struct stat info {};
  if (stat(directory.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  const std::string parent = DirectoryOf(directory);
  if (parent != directory && !MakeDirectories(parent)) return false;
  return mkdir(directory.c_str(), 0700) == 0 || errno == EEXIST;
}

void UseRenameForTesting(RenameFunction rename) {
  renameFile.store(rename != nullptr ? rename : ::rename);
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error) {
  const std::string target = FollowLink(path);
  std::string temporary = target + ".tmp-XXXXXX";
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    *error = SystemText(errno);
    return false;
  }
  bool ok = fchmod(fd, ModeFor(target)) == 0 && WriteAll(fd, text) && fsync(fd) == 0;
  int failure = ok ? 0 : errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    failure = errno;
  }
  if (ok && renameFile.load()(temporary.c_str(), target.c_str()) != 0) {
    ok = false;
    failure = errno;
  }
  if (!ok) {
    unlink(temporary.c_str());
    *error = SystemText(failure);
    return false;
  }
  // The rename lasts only once the directory is on disk too; a directory
  // that refuses the flush is no failure of the write.
  const int dir = open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
}
