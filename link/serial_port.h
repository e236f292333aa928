// The serial line as the reader link sees it: the few calls the protocol
// makes. A POSIX tty or pseudo-terminal implements it (posix_serial_port.h);
// tests and fuzzers put fakes in its place.
#pragma once

#include <cstddef>
#include <cstdint>

// Line-error bits reported by TakeLineErrors, numbered as the reader's
// documentation numbers them ("Serial error 4." is a parity error).
enum LineErrorBit : uint32_t {
  CE_RXOVER = 0x0001,
  CE_OVERRUN = 0x0002,
  CE_RXPARITY = 0x0004,
  CE_FRAME = 0x0008,
  CE_BREAK = 0x0010,
  CE_TXFULL = 0x0100,
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Returns at once with what is buffered (up to count bytes); when nothing
  // is, waits at most 60 ms for the first byte and may return with *got == 0.
  // False on failure, with errno set (a hung-up line fails with EIO).
  virtual bool Read(void* buffer, size_t count, size_t* got) = 0;

  // Writes all count bytes before returning. False on failure, with errno
  // set; *written tells how many went out.
  virtual bool Write(const void* data, size_t count, size_t* written) = 0;

  // The line-error mask (LineErrorBit) gathered since the last call; clears it.
  virtual uint32_t TakeLineErrors() = 0;

  // Drops what is queued in both directions.
  virtual void Purge() = 0;
};

// The "port handle" of the program: the open line, or null when none is open.
using PortHandle = SerialPort*;
inline constexpr PortHandle kInvalidPort = nullptr;
