#include "archive/spool.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "archive/archive_url.h"
#include "archive/sha256.h"
#include "archive/spool_entry.h"
#include "archive/sqlite_archive.h"

namespace archive {

std::string StateFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return std::string(state) + "/platovix";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr && home[0] != '\0' ? home : ".") + "/.local/state/platovix";
}

namespace {

std::string Absolute(const std::string& path) {
  std::error_code ignored;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
  return absolute.empty() ? path : absolute.lexically_normal().string();
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
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

// A new or renamed file is only there after a power cut once its folder is synced.
bool SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = fsync(fd) == 0;
  close(fd);
  return synced;
}

// The folder and any missing above it, each made durable in its parent.
void MakeFolder(const std::string& folder) {
  if (access(folder.c_str(), F_OK) == 0 || folder == "/") return;
  MakeFolder(FolderOf(folder));
  if (mkdir(folder.c_str(), 0700) == 0) SyncFolder(FolderOf(folder));
}

// Bytes of a spool that are no whole entry, kept byte for byte beside it.
std::string SetAside(const std::string& spool, const std::string& bytes, std::string* error) {
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
  const std::string aside = spool + ".damaged-" + stamp;
  LockedFile file(aside, O_WRONLY | O_APPEND | O_CREAT);
  if (file.fd() < 0 || !WriteAll(file.fd(), bytes) || fsync(file.fd()) != 0 ||
      !SyncFolder(FolderOf(aside))) {
    *error = aside + ": " + std::strerror(errno);
    return {};
  }
  return aside;
}

}  // namespace

std::vector<std::string> SpoolPaths(const std::string& archivePath) {
  // No archive of its own (a refused URL): only the state folder, by a name without it.
  if (KindOfArchive(archivePath) != ArchiveKind::Sqlite)
    return {StateFolder() + "/spool/" + Sha256Hex(archivePath).substr(0, 16) + ".spool"};
  const std::string absolute = Absolute(archivePath);
  const size_t slash = absolute.rfind('/');
  const std::string name = absolute.substr(slash + 1);
  return {absolute + ".spool",
          StateFolder() + "/spool/" + name + "-" + Sha256Hex(absolute).substr(0, 16) + ".spool"};
}

std::string SpoolEntry(const std::string& archivePath, const std::string& content,
                       std::string* error) {
  const std::string entry = FramedEntry(content);
  for (const std::string& path : SpoolPaths(archivePath)) {
    MakeFolder(FolderOf(path));  // a folder that cannot be made fails the open below
    const bool existed = access(path.c_str(), F_OK) == 0;
    LockedFile file(path, O_RDWR | O_APPEND | O_CREAT);
    if (file.fd() < 0) {
      *error = path + ": " + std::strerror(errno);
      continue;
    }
    struct stat before {};
    fstat(file.fd(), &before);
    // After a line cut short the new entry starts a line of its own.
    char last = '\n';
    if (before.st_size > 0 && pread(file.fd(), &last, 1, before.st_size - 1) != 1) last = '\n';
    if (WriteAll(file.fd(), last == '\n' ? entry : '\n' + entry) && fsync(file.fd()) == 0 &&
        (existed || SyncFolder(FolderOf(path)))) {
      return path;
    }
    *error = path + ": " + std::strerror(errno);
    // A line cut short by a full disk would be set aside as damaged.
    if (ftruncate(file.fd(), before.st_size) != 0)
      *error += " (and the spool could not be repaired)";
  }
  return {};
}

int DrainSpools(const std::string& archivePath, ChainedArchive& archive, std::string* error,
                std::vector<std::string>* messages) {
  if (archive.ReadOnly()) {
    *error = "the archive is read-only";
    return -1;
  }
  std::vector<std::string> paths = SpoolPaths(archivePath);
  // The one spool all archives shared before each had its own: its reads
  // were made for the default archive, so only that one takes them.
  if (Absolute(archivePath) == Absolute(DefaultArchivePath()))
    paths.push_back(StateFolder() + "/archive.spool");
  int stored = 0;
  for (const std::string& path : paths) {
    if (access(path.c_str(), F_OK) != 0) continue;
    LockedFile file(path, O_RDWR);
    if (file.fd() < 0) continue;
    const SpoolScan scan = ScanSpool(ReadAll(file.fd()));
    for (const std::string& content : scan.entries) {
      // Stored at most once: the archive keeps an entry's UUID only once.
      if (!archive.AppendContent(content, error)) {
        if (archive.LastFailure() != SqlFailure::None) return -1;
        // Whole, but no entry this archive takes: kept aside with the damage.
        const std::string aside = SetAside(path, FramedEntry(content), error);
        if (aside.empty()) return -1;
        if (messages != nullptr)
          messages->push_back(path + " held an entry the archive refused (" + *error +
                              "); it is kept in " + aside);
        continue;
      }
      ++stored;
    }
    if (!scan.damaged.empty()) {
      const std::string aside = SetAside(path, scan.damaged, error);
      if (aside.empty()) return -1;
      if (messages != nullptr)
        messages->push_back(path + " held " + std::to_string(scan.damagedPieces) + " damaged entr" +
                            (scan.damagedPieces == 1 ? "y" : "ies") +
                            " (a write cut short); kept as they were in " + aside +
                            ", the entries after them were stored");
    }
    if (ftruncate(file.fd(), 0) != 0 || fsync(file.fd()) != 0) {
      *error = path + ": " + std::strerror(errno);
      return -1;
    }
  }
  return stored;
}

}  // namespace archive
