#include "link/posix_serial_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace {

// How long a read waits for the first byte when nothing is buffered. The
// protocol builds all its longer time-outs out of these short waits, so it
// can check the operator's abort between them.
constexpr int kReadWaitMs = 60;

// Writes carry no time-out of their own: without flow control a real line
// drains at its speed. Only a peer that stops reading altogether (a
// pseudo-terminal nobody serves) could hold a write for ever; give up then.
constexpr int kWriteStallMs = 10000;

bool IsHangUp(short revents) {
  return (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

bool Fail(int error) {
  errno = error;
  return false;
}

// Retries poll after signals, keeping the original time budget.
int PollFor(int fd, short events, int timeoutMs, short* revents) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    pollfd p{fd, events, 0};
    const int n = poll(&p, 1, timeoutMs);
    if (n >= 0 || errno != EINTR) {
      *revents = p.revents;
      return n;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    timeoutMs = left.count() > 0 ? static_cast<int>(left.count()) : 0;
  }
}

// A read of 0 bytes or EAGAIN means "nothing buffered"; EIO means the line
// went away.
enum class ReadOutcome { kData, kEmpty, kFailed };

ReadOutcome ReadOnce(int fd, void* buffer, size_t count, size_t* got) {
  for (;;) {
    const ssize_t n = read(fd, buffer, count);
    if (n > 0) {
      *got = static_cast<size_t>(n);
      return ReadOutcome::kData;
    }
    if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK) return ReadOutcome::kEmpty;
    if (errno != EINTR) return ReadOutcome::kFailed;
  }
}

bool CharacterSize(int bits, tcflag_t* flag) {
  switch (bits) {
    case 5:
      *flag = CS5;
      return true;
    case 6:
      *flag = CS6;
      return true;
    case 7:
      *flag = CS7;
      return true;
    case 8:
      *flag = CS8;
      return true;
    default:
      return false;
  }
}

bool ParityFlags(int parity, tcflag_t* flags) {
  switch (parity) {
    case 0:
      *flags = 0;
      return true;
    case 1:
      *flags = PARENB | PARODD;
      return true;
    case 2:
      *flags = PARENB;
      return true;
    case 3:
      *flags = PARENB | CMSPAR | PARODD;
      return true;  // mark
    case 4:
      *flags = PARENB | CMSPAR;
      return true;  // space
    default:
      return false;
  }
}

bool StandardSpeed(int baud, speed_t* speed) {
  static const struct {
    int baud;
    speed_t speed;
  } kSpeeds[] = {{50, B50},         {75, B75},         {110, B110},       {134, B134},
                 {150, B150},       {200, B200},       {300, B300},       {600, B600},
                 {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
                 {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
                 {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600}};
  for (const auto& entry : kSpeeds) {
    if (entry.baud == baud) {
      *speed = entry.speed;
      return true;
    }
  }
  return false;
}

// A pseudo-terminal has no UART behind it: the kernel forces 8 bits and no
// parity there, so the character format cannot be checked on one.
bool IsPseudoTerminal(int fd) {
  serial_struct info{};
  return ioctl(fd, TIOCGSERIAL, &info) != 0 && errno == ENOTTY;
}

// tcsetattr succeeds when any part of the change took; the port has really
// taken the format only if it reads back the same.
bool FormatTook(int fd, const termios& wanted) {
  termios now{};
  if (tcgetattr(fd, &now) != 0) return false;
  tcflag_t checked = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CLOCAL | CREAD | CRTSCTS;
  if (IsPseudoTerminal(fd)) checked &= ~static_cast<tcflag_t>(CSIZE | PARENB);
  const tcflag_t inputChecked = IXON | IXOFF;
  return (now.c_cflag & checked) == (wanted.c_cflag & checked) &&
         (now.c_iflag & inputChecked) == (wanted.c_iflag & inputChecked) &&
         (now.c_lflag & ICANON) == 0 && now.c_cc[VMIN] == wanted.c_cc[VMIN] &&
         now.c_cc[VTIME] == wanted.c_cc[VTIME];
}

bool ApplyFormat(int fd, const LineSettings& settings) {
  termios current{};
  if (tcgetattr(fd, &current) != 0) return false;
  termios t{};
  if (!BuildTermios(settings, &t)) return false;
  speed_t speed = 0;
  const bool standard = StandardSpeed(settings.nBaudRate, &speed);
  if (!standard) speed = cfgetospeed(&current);  // SetLineSpeed sets the odd rate below
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
  // The C library calls a change that altered nothing a failure (EINVAL).
  // On a pseudo-terminal opened before, the settings it can hold are
  // already there: judge by what the port reads back instead.
  if (tcsetattr(fd, TCSANOW, &t) != 0 && errno != EINVAL) return false;
  if (!FormatTook(fd, t)) return Fail(EINVAL);
  if (standard) {
    termios now{};
    if (tcgetattr(fd, &now) != 0) return false;
    if (cfgetospeed(&now) != speed) return Fail(EINVAL);
    return true;
  }
  return SetLineSpeed(fd, settings.nBaudRate);
}

}  // namespace

uint32_t LineErrorMaskBetween(const LineCounts& before, const LineCounts& now) {
  uint32_t mask = 0;
  if (now.frame != before.frame) mask |= CE_FRAME;
  if (now.parity != before.parity) mask |= CE_RXPARITY;
  if (now.overrun != before.overrun) mask |= CE_OVERRUN;
  if (now.buf_overrun != before.buf_overrun) mask |= CE_RXOVER;
  if (now.brk != before.brk) mask |= CE_BREAK;
  return mask;
}

bool ReadKernelLineCounts(int fd, LineCounts* counts) {
  serial_icounter_struct icount{};
  if (ioctl(fd, TIOCGICOUNT, &icount) != 0) return false;
  counts->frame = static_cast<uint32_t>(icount.frame);
  counts->parity = static_cast<uint32_t>(icount.parity);
  counts->overrun = static_cast<uint32_t>(icount.overrun);
  counts->brk = static_cast<uint32_t>(icount.brk);
  counts->buf_overrun = static_cast<uint32_t>(icount.buf_overrun);
  return true;
}

bool BuildTermios(const LineSettings& settings, termios* t) {
  tcflag_t size = 0;
  tcflag_t parity = 0;
  // Only the low byte of each number reaches the line, as in the settings
  // record the reader's documentation describes.
  if (!CharacterSize(settings.nBits & 0xFF, &size) ||
      !ParityFlags(settings.nParity & 0xFF, &parity)) {
    return Fail(EINVAL);
  }
  *t = termios{};
  cfmakeraw(t);
  t->c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  t->c_cflag |= CLOCAL | CREAD | size | parity;
  if (settings.nStops != 0) t->c_cflag |= CSTOPB;
  t->c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
  // Some USB adapters count parity errors only while input checking is on.
  if (parity != 0) t->c_iflag |= INPCK;
  t->c_cc[VMIN] = 0;
  t->c_cc[VTIME] = 0;
  return true;
}

std::unique_ptr<PosixSerialPort> PosixSerialPort::Open(const std::string& path,
                                                       const LineSettings& settings, int* error,
                                                       LineCountSource counts) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = errno;
    return nullptr;
  }
  auto failed = [&] {
    *error = errno;
    close(fd);
    return nullptr;
  };
  // The line is ours alone while an operation runs. TIOCEXCL keeps other
  // users out but not root; the lock stops every opener that asks for it,
  // including a second copy of this program.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return failed();
  if (ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY && errno != EINVAL) return failed();
  if (!ApplyFormat(fd, settings)) return failed();
  // The reader wants DTR and RTS up while the line is open.
  const int lines = TIOCM_DTR | TIOCM_RTS;
  if (ioctl(fd, TIOCMBIS, &lines) != 0 && errno != ENOTTY && errno != EINVAL) return failed();
  return std::unique_ptr<PosixSerialPort>(new PosixSerialPort(fd, std::move(counts)));
}

PosixSerialPort::PosixSerialPort(int fd, LineCountSource counts)
    : fd_(fd), counts_(std::move(counts)) {
  // Errors from before the open are not ours to report.
  if (counts_) haveCounts_ = counts_(fd_, &last_);
}

PosixSerialPort::~PosixSerialPort() {
  close(fd_);
}

bool PosixSerialPort::Read(void* buffer, size_t count, size_t* got) {
  *got = 0;
  if (count == 0) return true;
  ReadOutcome outcome = ReadOnce(fd_, buffer, count, got);
  if (outcome == ReadOutcome::kData) return true;
  if (outcome == ReadOutcome::kFailed) return false;

  short revents = 0;
  const int ready = PollFor(fd_, POLLIN, kReadWaitMs, &revents);
  if (ready < 0) return false;
  if (ready == 0) return true;  // nothing within the wait
  if ((revents & POLLIN) != 0) {
    outcome = ReadOnce(fd_, buffer, count, got);
    if (outcome != ReadOutcome::kEmpty) return outcome == ReadOutcome::kData;
  }
  // A hung-up line reads empty for ever; calling that "no data" would let
  // the protocol spin until its time-out instead of reporting the fault.
  if (IsHangUp(revents)) return Fail(EIO);
  return true;
}

bool PosixSerialPort::Write(const void* data, size_t count, size_t* written) {
  *written = 0;
  const auto* bytes = static_cast<const unsigned char*>(data);
  int stalledMs = 0;
  while (*written < count) {
    const ssize_t n = write(fd_, bytes + *written, count - *written);
    if (n > 0) {
      *written += static_cast<size_t>(n);
      stalledMs = 0;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    if (stalledMs >= kWriteStallMs) return Fail(ETIMEDOUT);
    constexpr int kSliceMs = 500;
    short revents = 0;
    if (PollFor(fd_, POLLOUT, kSliceMs, &revents) < 0) return false;
    if (IsHangUp(revents)) return Fail(EIO);
    if ((revents & POLLOUT) == 0) stalledMs += kSliceMs;
  }
  return true;
}

uint32_t PosixSerialPort::TakeLineErrors() {
  if (!counts_) return 0;
  LineCounts now;
  if (!counts_(fd_, &now)) return 0;  // the driver keeps no counters: no errors known
  if (!haveCounts_) {
    last_ = now;
    haveCounts_ = true;
    return 0;
  }
  const uint32_t mask = LineErrorMaskBetween(last_, now);
  last_ = now;
  return mask;
}

void PosixSerialPort::Purge() {
  tcflush(fd_, TCIOFLUSH);
}
