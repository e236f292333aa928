// Line speeds through termios2: glibc's cfsetospeed knows only the Bnnnn
// rates, while USB adapters and newer UARTs take any rate. <asm/termbits.h>
// redefines what <termios.h> declares, so this file includes only the former.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdlib>

bool SetLineSpeed(int fd, int baud);

namespace {

// UARTs divide a clock; they land near the rate asked for, rarely on it.
// Further off than this the reader would see garbage: call it refused.
bool CloseEnough(unsigned got, int wanted) {
  const long difference = std::labs(static_cast<long>(got) - wanted);
  return difference * 100 <= static_cast<long>(wanted) * 3;
}

}  // namespace

bool SetLineSpeed(int fd, int baud) {
  if (baud <= 0) {  // 0 would mean "hang up" to the driver
    errno = EINVAL;
    return false;
  }
  termios2 t{};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ispeed = static_cast<speed_t>(baud);
  t.c_ospeed = static_cast<speed_t>(baud);
  if (ioctl(fd, TCSETS2, &t) != 0) return false;
  termios2 now{};
  if (ioctl(fd, TCGETS2, &now) != 0) return false;
  if (!CloseEnough(now.c_ospeed, baud)) {
    errno = EINVAL;
    return false;
  }
  return true;
}
