#include "link/port_refusal.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "link/operator_message.h"
#include "link/port_setup.h"
#include "link/system_error.h"
#include "results/shared_state.h"

namespace fs = std::filesystem;

namespace {

std::string SystemText(int error) {
  char text[256];
  FormatSystemError(text, sizeof text, error);
  return text;
}

std::string ProcessName(const std::string& pid) {
  std::ifstream comm("/proc/" + pid + "/comm");
  std::string name;
  std::getline(comm, name);
  return name.empty() ? "a program" : name;
}

bool IsNumber(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

std::string OtherHolderOf(const std::string& path, bool* onlyUs) {
  *onlyUs = false;
  std::error_code error;
  const fs::path device = fs::canonical(path, error);
  if (error) return "";
  const std::string self = std::to_string(getpid());
  for (fs::directory_iterator process("/proc", error), end; !error && process != end;
       process.increment(error)) {
    const std::string pid = process->path().filename().string();
    if (!IsNumber(pid)) continue;
    std::error_code fdError;  // gone meanwhile, or not ours to look at
    for (fs::directory_iterator fd(process->path() / "fd", fdError), fdEnd; !fdError && fd != fdEnd;
         fd.increment(fdError)) {
      std::error_code linkError;
      if (fs::read_symlink(fd->path(), linkError) != device || linkError) continue;
      if (pid == self) {
        *onlyUs = true;
        break;
      }
      *onlyUs = false;
      return ProcessName(pid) + " (process " + pid + ")";
    }
  }
  return "";
}

std::string AccessHint(const std::string& path, int error) {
  if (error == EACCES || error == EPERM) return kDialoutHint;
  if (error == EBUSY || error == EWOULDBLOCK) {
    bool onlyUs = false;
    const std::string holder = OtherHolderOf(path, &onlyUs);
    if (onlyUs) return "";  // this program holds it already: no other program to close
    return path + " is in use by another program" + (holder.empty() ? "" : ", " + holder) +
           ". Close it and try again.";
  }
  return "";
}

std::string PortRefusalHint(const std::string& path, int error) {
  if (error == ENOTTY || error == EISDIR) return path + " is not a serial port.";
  return AccessHint(path, error);
}

std::string PortRefusalText(const std::string& path, int error) {
  const std::string hint = PortRefusalHint(path, error);
  return SystemText(error) + (hint.empty() ? "" : "\n" + hint);
}

bool IsNotASerialPort(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return false;  // missing: OpenPort says so
  if (!S_ISCHR(info.st_mode)) return true;
  // A character device belongs to a class; terminals are class "tty".
  // Pseudo-terminals have no entry at all and pass.
  std::error_code error;
  const fs::path subsystem =
      fs::read_symlink("/sys/dev/char/" + std::to_string(major(info.st_rdev)) + ":" +
                           std::to_string(minor(info.st_rdev)) + "/subsystem",
                       error);
  return !error && subsystem.filename() != "tty";
}

bool OpenReaderPort(void* owner) {
  const std::string path = PortDevicePath(AppSettings.nComPort);
  if (IsNotASerialPort(path)) {
    ShowMessageBox(owner, PortRefusalText(path, ENOTTY), "Error", kIconError);
    return true;
  }
  return OpenPort(owner);
}
