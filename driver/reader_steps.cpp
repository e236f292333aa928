#include "driver/reader_steps.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <thread>

#include "driver/foto.h"
#include "link/reader_waits.h"
#include "link/reply_parsers.h"

namespace {
constexpr auto kIdlePoll = std::chrono::milliseconds(300);
constexpr size_t kReaderIdDigits = 5;
}  // namespace

void ShowStatusFormatted(TFoto& driver, const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  driver.ShowStatus(text);
}

char StatusCharacter(const TRodeFoto& reader) {
  return reader.nLineLen >= 2 ? reader.szLine[1] : '\0';
}

int ErrorNumber(const TRodeFoto& reader) {
  return reader.nLineLen >= 2 ? reader.szLine[1] & 0x0F : 0;
}

bool IsIdle(char status) {
  return status == '@' || status == 'D' || status == '`';
}

void WaitUntilIdle(TRodeFoto& reader, const std::function<void(char)>& notIdle) {
  for (;;) {
    std::this_thread::sleep_for(ReaderWait(kIdlePoll));
    reader.Exchange("Q");
    const char status = StatusCharacter(reader);
    if (IsIdle(status)) return;
    if (notIdle) notIdle(status);
  }
}

bool TakeReaderId(TRodeFoto& reader) {
  const char* run = FindDigitRun(reader.szLine);
  if (run == nullptr) return false;
  std::memcpy(reader.szReaderId, run, kReaderIdDigits);
  reader.szReaderId[kReaderIdDigits] = '\0';
  return true;
}

bool ReadBackFilters(TRodeFoto& reader, int32_t* wavelengths, int32_t* count) {
  reader.Exchange("Af");
  *count = 0;
  if (ParseSixInts(reader.szLine, wavelengths)) return false;
  *count = 6;
  return true;
}
