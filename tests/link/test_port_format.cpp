// The line format the port layer builds from the settings, and the
// line-error mask. A pseudo-terminal cannot show either (it forces 8 bits,
// no parity, and keeps no error counters), so they are checked here on the
// termios record and with an injected counter source.
#include <gtest/gtest.h>
#include <termios.h>

#include <cerrno>

#include "link/posix_serial_port.h"
#include "tests/support/pty_pair.h"

namespace {

LineSettings Format(int bits, int parity, int stops) {
  LineSettings s;
  s.nBits = bits;
  s.nParity = parity;
  s.nStops = stops;
  return s;
}

}  // namespace

TEST(PortFormat, EveryBitsParityStopsCombination) {
  const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
  const tcflag_t parities[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD,
                               PARENB | CMSPAR};
  const tcflag_t parityMask = PARENB | PARODD | CMSPAR;
  for (int bits = 5; bits <= 8; ++bits) {
    for (int parity = 0; parity <= 4; ++parity) {
      for (int stops : {0, 1, 2}) {
        SCOPED_TRACE(testing::Message()
                     << bits << " bits, parity " << parity << ", stops " << stops);
        termios t{};
        ASSERT_TRUE(BuildTermios(Format(bits, parity, stops), &t));
        EXPECT_EQ(t.c_cflag & CSIZE, sizes[bits - 5]);
        EXPECT_EQ(t.c_cflag & parityMask, parities[parity]);
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, stops != 0);
        EXPECT_EQ((t.c_iflag & INPCK) != 0, parity != 0);
        EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ISTRIP | ICRNL), 0u);
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ(t.c_cc[VMIN], 0);
        EXPECT_EQ(t.c_cc[VTIME], 0);
      }
    }
  }
}

TEST(PortFormat, OnlyTheLowByteCountsAndOddFormatsAreRefused) {
  termios t{};
  ASSERT_TRUE(BuildTermios(Format(0x107, 0x302, 1), &t));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
  EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), static_cast<tcflag_t>(PARENB));

  for (const LineSettings& bad :
       {Format(4, 0, 0), Format(9, 0, 0), Format(16, 2, 1), Format(8, 5, 0), Format(7, -1, 1)}) {
    errno = 0;
    EXPECT_FALSE(BuildTermios(bad, &t));
    EXPECT_EQ(errno, EINVAL);
  }
}

TEST(LineErrors, MaskNamesEveryCounterThatGrew) {
  LineCounts before;
  EXPECT_EQ(LineErrorMaskBetween(before, before), 0u);
  LineCounts now = before;
  now.frame = 1;
  EXPECT_EQ(LineErrorMaskBetween(before, now), static_cast<uint32_t>(CE_FRAME));
  now = before;
  now.parity = 3;
  now.brk = 1;
  EXPECT_EQ(LineErrorMaskBetween(before, now), static_cast<uint32_t>(CE_RXPARITY | CE_BREAK));
  now = LineCounts{1, 1, 1, 1, 1};
  EXPECT_EQ(LineErrorMaskBetween(before, now), 0x1Fu);
  // A counter that wraps round still counts as grown.
  before.overrun = 0xFFFFFFFF;
  now = before;
  now.overrun = 0;
  EXPECT_EQ(LineErrorMaskBetween(before, now), static_cast<uint32_t>(CE_OVERRUN));
}

TEST(LineErrors, PortReportsCounterChangesSinceTheLastCall) {
  PtyPair pty;
  LineCounts counts;
  bool sourceWorks = true;
  auto source = [&](int, LineCounts* out) {
    *out = counts;
    return sourceWorks;
  };
  counts.frame = 5;  // errors from before the open are not reported
  int error = 0;
  auto port = PosixSerialPort::Open(pty.slavePath(), LineSettings{}, &error, source);
  ASSERT_TRUE(port) << error;
  EXPECT_EQ(port->TakeLineErrors(), 0u);

  counts.parity++;
  counts.buf_overrun++;
  EXPECT_EQ(port->TakeLineErrors(), static_cast<uint32_t>(CE_RXPARITY | CE_RXOVER));
  EXPECT_EQ(port->TakeLineErrors(), 0u);  // taking them clears them

  sourceWorks = false;  // a driver without counters: no errors known
  counts.frame++;
  EXPECT_EQ(port->TakeLineErrors(), 0u);
}

TEST(LineErrors, PseudoTerminalHasNoCountersAndNoErrors) {
  PtyPair pty;
  int error = 0;
  auto port = PosixSerialPort::Open(pty.slavePath(), LineSettings{}, &error);
  ASSERT_TRUE(port) << error;
  LineCounts counts;
  EXPECT_FALSE(ReadKernelLineCounts(port->fd(), &counts));
  EXPECT_EQ(port->TakeLineErrors(), 0u);
}
