// The reader's line protocol: a half-duplex, character-framed conversation.
//
//   program                               reader
//   EOT '2' '0' ENQ  ------------------>
//                    <------------------  ACK            (Connect)
//   STX text ETX chk ------------------>
//                    <------------------  ACK | NAK      (SendCommand; one resend on NAK)
//                    <------------------  STX text ETX chk
//   ACK | NAK        ------------------>                 (ReceiveReply; one repeat on NAK)
//   EOT              ------------------>                 (SendEot)
//
// Framing and the check byte are in link/check_byte.h. Every failure leaves
// the operator's text in szMessage and throws ESerExc; the operation frame
// catches it.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include "driver/foto.h"
#include "link/check_byte.h"
#include "link/interval_timer.h"
#include "link/reader_waits.h"
#include "link/system_error.h"

namespace {

// The reader may take this long over any single byte before we give up on it.
constexpr uint32_t kByteTimeoutMs = 1600;
// The reader needs a quiet line before it listens to a frame.
constexpr uint32_t kPauseBeforeFrameMs = 30;
// Abortable waits sleep in steps no longer than one port read waits.
constexpr auto kAbortPollStep = std::chrono::milliseconds(60);

constexpr int kConnectAttempts = 5;
// Noise the reader may send before a frame (a late echo, a wake-up byte).
constexpr int kMaxStrayBytes = 64;
// A text this long, with no ETX, is no frame: the NUL must still fit.
constexpr int kMaxTextBytes = 1023;
constexpr size_t kMaxCommandText = sizeof(TRodeFoto::szLine) - 3;

}  // namespace

char TRodeFoto::ReadByte() {
  IntervalTimer timer;  // counted per byte, from the call
  for (;;) {
    if (pbAbort != nullptr && pbAbort->load(std::memory_order_relaxed) != 0) {
      Fail(kExcAbort, "User aborted.");
    }
    char byte = 0;
    size_t got = 0;
    if (!hPort->Read(&byte, 1, &got)) FailWithSystemError();
    if (got == 1) return byte;  // even when it came late
    if (timer.IsElapsed(kByteTimeoutMs)) Fail(kExcTimeout, "Timeout (%d).", timer.ElapsedMs());
  }
}

void TRodeFoto::Connect() {
  BusyWait(kPauseBeforeFrameMs);
  char opening[8];
  std::snprintf(opening, sizeof opening, "%c%s%c", EOT, "20", ENQ);
  WriteAll(opening, 4);
  // The reader may still be flushing something of its own before the ACK.
  for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
    if (ReadByte() == ACK) return;
  }
  Fail(kExcFailure, "Connection not possible.");
}

void TRodeFoto::SendCommand(const char* text) {
  const size_t length = std::strlen(text);
  // No command of ours comes near this; refuse rather than send a cut frame.
  if (length > kMaxCommandText) Fail(kExcFailure, "Command too long.");
  nLineLen = std::snprintf(szLine, sizeof szLine, "%c%s%c", STX, text, ETX);
  szLine[nLineLen++] = CheckByteToSend(XorBytes(text, length), nReaderSubType);

  bool nakSeen = false;
  for (;;) {
    BusyWait(kPauseBeforeFrameMs);
    WriteAll(szLine, static_cast<size_t>(nLineLen));
    const char answer = ReadByte();
    if (answer == ACK) return;
    if (answer == NAK && !nakSeen) {
      nakSeen = true;  // the reader missed it: the same frame once more
      continue;
    }
    FailFrame("Command not ackowledged.");
  }
}

void TRodeFoto::ReceiveReply() {
  bool retried = false;
  for (;;) {
    szLine[0] = '\0';
    nLineLen = 0;

    int stray = 0;
    while (ReadByte() != STX) {
      if (++stray == kMaxStrayBytes) FailFrame("Garbled data");
    }
    hPort->TakeLineErrors();  // errors from before the frame do not concern it

    for (char c = ReadByte(); c != ETX; c = ReadByte()) {
      szLine[nLineLen++] = c;
      if (nLineLen == kMaxTextBytes) {
        szLine[nLineLen] = '\0';  // the buffer stays a text even now
        FailFrame("Garbled data");
      }
    }
    szLine[nLineLen] = '\0';

    const char check = ReadByte();
    if (CheckByteAccepted(XorBytes(szLine, static_cast<size_t>(nLineLen)), check, nReaderSubType)) {
      WriteQuietly(ACK);
      return;
    }
    if (retried) FailFrame("Garbled data");
    retried = true;
    WriteQuietly(NAK);  // the reader sends the whole frame again
  }
}

void TRodeFoto::Exchange(const char* text) {
  SendCommand(text);
  ReceiveReply();
}

void TRodeFoto::SendEot() {
  BusyWait(kPauseBeforeFrameMs);
  WriteQuietly(EOT);
  BusyWait(kPauseBeforeFrameMs);
}

void TRodeFoto::WaitAbortable(uint32_t ms) {
  ms = ReaderWaitMs(ms);
  IntervalTimer timer;
  for (;;) {
    std::this_thread::sleep_for(kAbortPollStep);
    if (pbAbort != nullptr && pbAbort->load(std::memory_order_relaxed) != 0) {
      Fail(kExcAbort, "User aborted.");
    }
    if (timer.IsElapsed(ms)) return;
  }
}

void TRodeFoto::FailWithSystemError() {
  FormatLastError(szMessage, sizeof szMessage);
  throw ESerExc{kExcPort};
}

void TRodeFoto::FailFrame(const char* text) {
  const uint32_t lineErrors = hPort->TakeLineErrors();
  if (lineErrors != 0) Fail(kExcPort, "Serial error %d.", static_cast<int>(lineErrors));
  Fail(kExcFailure, "%s", text);
}

void TRodeFoto::WriteAll(const char* data, size_t count) {
  if (hPort == kInvalidPort) {  // an operation started without a port fails like a dead one
    errno = EBADF;
    FailWithSystemError();
  }
  size_t written = 0;
  const bool ok = hPort->Write(data, count, &written);
  if (ok && written < count) errno = EIO;  // a short write with no reason given
  if (!ok || written < count) FailWithSystemError();
}

void TRodeFoto::WriteQuietly(char byte) {
  size_t written = 0;
  if (hPort != kInvalidPort) hPort->Write(&byte, 1, &written);
}
