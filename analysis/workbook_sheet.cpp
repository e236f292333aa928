#include "analysis/workbook_sheet.h"

#include <stdlib.h>
#include <unistd.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "results/atomic_file.h"

namespace analysis {

bool WriteWorkbookFile(const std::string& path,
                       const std::function<void(lxw_workbook*, lxw_format* bold)>& fill,
                       std::string* error) {
  // Written beside the target and renamed over it when complete.
  std::string scratch = DirectoryOf(path) + "/.platovix-xlsx-XXXXXX";
  const int fd = mkstemp(scratch.data());
  if (fd < 0) {
    *error = std::generic_category().message(errno);
    return false;
  }
  close(fd);

  lxw_workbook* book = workbook_new(scratch.c_str());
  if (!book) {
    unlink(scratch.c_str());
    *error = "cannot create the workbook";
    return false;
  }
  lxw_format* bold = workbook_add_format(book);
  format_set_bold(bold);
  fill(book, bold);
  const lxw_error closed = workbook_close(book);
  if (closed != LXW_NO_ERROR) {
    unlink(scratch.c_str());
    *error = lxw_strerror(closed);
    return false;
  }
  // mkstemp's file is private; a workbook gets the umask's permissions.
  const mode_t mask = umask(0);
  umask(mask);
  chmod(scratch.c_str(), 0666 & ~mask);
  if (std::rename(scratch.c_str(), path.c_str()) != 0) {
    *error = std::generic_category().message(errno);
    unlink(scratch.c_str());
    return false;
  }
  return true;
}

}  // namespace analysis
