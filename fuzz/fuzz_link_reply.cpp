// The receiving side of the line protocol against arbitrary bytes from the
// reader. Whatever arrives, the link either returns a good reply or throws
// one of its defined codes with a text, and the frame buffer stays a text of
// at most 1022 characters inside its 1024 bytes.
//
// Input: one control byte, then the reader's bytes.
//   bit 0     reader family (0 DigiScan, 1 Jupiter / Expert)
//   bits 1-2  what the link does: ReceiveReply, SendCommand, Connect, Exchange
//   bit 3     the port reports a parity error
//   bits 4-5  non-zero: the operator aborts after 32 times that many reads
//   bit 6     when the bytes run out the line stays silent (else it drops)
//
// The link's clock is a fake that moves 16 ms per look, so the 30 ms pauses
// cost nothing and a silent line times out at once.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "driver/foto.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_port.h"
#include "link/check_byte.h"
#include "link/interval_timer.h"

namespace {

uint32_t FastTicks() {
  static uint32_t now = 0;
  return now += 16;
}

void CheckTextInBounds(const char* text, size_t size) {
  FUZZ_CHECK(std::memchr(text, '\0', size) != nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  UseTickSourceForTesting(FastTicks);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t control = data[0];
  const int family = control & 1;
  const int action = (control >> 1) & 3;
  const uint32_t lineErrors = (control & 8) != 0 ? CE_RXPARITY : 0;
  const int abortAfter = 32 * ((control >> 4) & 3);
  const bool silentWhenDry = (control & 0x40) != 0;

  AbortFlag abort{0};
  FuzzPort port(data + 1, size - 1, lineErrors, &abort, abortAfter, silentWhenDry);
  TRodeFoto driver(2, family);
  driver.hPort = &port;
  driver.pbAbort = &abort;
  driver.nLineLen = 0;
  driver.szLine[0] = '\0';

  bool received = false;
  try {
    switch (action) {
      case 0:
        driver.ReceiveReply();
        received = true;
        break;
      case 1:
        driver.SendCommand("Q");
        break;
      case 2:
        driver.Connect();
        break;
      default:
        driver.Exchange("Af");
        received = true;
        break;
    }
    if (received) {
      FUZZ_CHECK(driver.nLineLen >= 0 && driver.nLineLen <= 1022);
      FUZZ_CHECK(driver.szLine[driver.nLineLen] == '\0');
      FUZZ_CHECK(!port.written().empty() && port.written().back() == ACK);
      // The text is exactly what stood between STX and ETX of a good frame.
      FUZZ_CHECK(std::memchr(driver.szLine, ETX, static_cast<size_t>(driver.nLineLen)) == nullptr);
    }
  } catch (const ESerExc& failure) {
    // The line falls silent (1) or drops (2), the operator aborts (3) or
    // the bytes make no frame (4).
    FUZZ_CHECK(failure.nCode >= kExcTimeout && failure.nCode <= kExcFailure);
    if (failure.nCode == kExcTimeout) {
      FUZZ_CHECK(silentWhenDry);
      FUZZ_CHECK(std::strncmp(driver.szMessage, "Timeout (", 9) == 0);
    }
    FUZZ_CHECK(driver.szMessage[0] != '\0' || failure.nCode == kExcPort);
    if (failure.nCode == kExcAbort) FUZZ_CHECK(std::strcmp(driver.szMessage, "User aborted.") == 0);
    if (failure.nCode == kExcFailure) {
      FUZZ_CHECK(std::strcmp(driver.szMessage, "Garbled data") == 0 ||
                 std::strcmp(driver.szMessage, "Command not ackowledged.") == 0 ||
                 std::strcmp(driver.szMessage, "Connection not possible.") == 0);
    }
  }
  FUZZ_CHECK(driver.nLineLen >= 0 && driver.nLineLen <= 1023);
  CheckTextInBounds(driver.szLine, sizeof driver.szLine);
  CheckTextInBounds(driver.szMessage, sizeof driver.szMessage);
  return 0;
}
