// SerialPort on a POSIX terminal device: a real serial port, a USB adapter or
// a pseudo-terminal.
#pragma once

#include <termios.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/serial_port.h"

// The reader's line format, from the settings.
struct LineSettings {
  int nBaudRate = 9600;
  int nBits = 7;
  int nParity = 2;  // 0 none, 1 odd, 2 even, 3 mark, 4 space
  int nStops = 1;   // 0 one stop bit, anything else two
};

// Cumulative line-error counters of a port (TIOCGICOUNT).
struct LineCounts {
  uint32_t frame = 0;
  uint32_t parity = 0;
  uint32_t overrun = 0;
  uint32_t brk = 0;
  uint32_t buf_overrun = 0;
};

// The mask of LineErrorBits for the counters that grew between two snapshots.
uint32_t LineErrorMaskBetween(const LineCounts& before, const LineCounts& now);

// Reads the counters of an open port; false when the driver keeps none
// (a pseudo-terminal, some USB adapters).
using LineCountSource = std::function<bool(int fd, LineCounts* counts)>;
bool ReadKernelLineCounts(int fd, LineCounts* counts);

// Raw mode with the reader's character format, no flow control, reads that
// never block (VMIN = VTIME = 0). The speed is not part of it (SetLineSpeed).
// False with errno = EINVAL for a format the line cannot carry.
bool BuildTermios(const LineSettings& settings, termios* t);

// Applies any speed, standard or not; false with errno set when refused.
bool SetLineSpeed(int fd, int baud);

class PosixSerialPort : public SerialPort {
 public:
  // Opens the device for exclusive use and puts it into the line format.
  // On failure returns null with the errno value in *error.
  static std::unique_ptr<PosixSerialPort> Open(const std::string& path,
                                               const LineSettings& settings, int* error,
                                               LineCountSource counts = ReadKernelLineCounts);
  ~PosixSerialPort() override;

  bool Read(void* buffer, size_t count, size_t* got) override;
  bool Write(const void* data, size_t count, size_t* written) override;
  uint32_t TakeLineErrors() override;
  void Purge() override;

  int fd() const { return fd_; }

 private:
  PosixSerialPort(int fd, LineCountSource counts);
  int fd_;
  LineCountSource counts_;
  LineCounts last_{};
  bool haveCounts_ = false;
};
