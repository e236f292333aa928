#include "results/result_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "results/file_time.h"
#include "results/shared_state.h"

namespace {

char szHeader[kResultHeaderSize];

// "%x" and "%X" give the user's short date and default time once the
// locale has been taken from the environment (QApplication does so).
const char* dateFormat = "%x";
const char* timeFormat = "%X";

// Appends to a zero-terminated text in a buffer of kResultHeaderSize,
// dropping whatever does not fit.
void AppendBounded(char* text, const char* tail) {
  const size_t used = std::strlen(text);
  if (used + 1 >= kResultHeaderSize) return;
  std::snprintf(text + used, kResultHeaderSize - used, "%s", tail);
}

// The date or the time of the completion; empty when the locale's form
// does not fit the buffer.
void FormatTimePart(const char* format, const std::tm& calendar, char* out, size_t size) {
  if (std::strftime(out, size, format, &calendar) == 0) out[0] = '\0';
}

}  // namespace

size_t FormatWellValue(int32_t value, bool decimalComma, char* out, size_t size) {
  if (!out || size == 0) return 0;
  // Integer arithmetic: exact for every int32 and blind to LC_NUMERIC.
  const int64_t wide = value;
  const uint64_t magnitude = static_cast<uint64_t>(wide < 0 ? -wide : wide);
  char text[kWellTextSize];
  const int length =
      std::snprintf(text, sizeof text, "%s%llu%c%03llu", wide < 0 ? "-" : "",
                    static_cast<unsigned long long>(magnitude / 1000), decimalComma ? ',' : '.',
                    static_cast<unsigned long long>(magnitude % 1000));
  const size_t written = length < 0 ? 0 : std::min(static_cast<size_t>(length), size - 1);
  std::memcpy(out, text, written);
  out[written] = '\0';
  return written;
}

const char* BuildResultHeader() {
  const std::string header = ResultHeaderOf(PlateResult);
  std::snprintf(szHeader, sizeof szHeader, "%s", header.c_str());
  return szHeader;
}

std::string ResultHeaderOf(const TPlateResult& plate, const char* ownDateFormat) {
  char header[kResultHeaderSize] = "";
  if (!plate.bValid) return header;

  const bool primary = plate.nPrimary != 0;
  const bool reference = plate.nReference != 0;
  const char* word = !primary && !reference ? " unknown" : (primary && reference ? "(s) " : " ");
  std::snprintf(header, sizeof header, "Filter%s ", word);

  char part[32];
  if (primary) {
    std::snprintf(part, sizeof part, "%d [nm]", plate.nPrimary);
    AppendBounded(header, part);
  }
  if (reference) {
    std::snprintf(part, sizeof part, " / %d [nm]", plate.nReference);
    AppendBounded(header, part);
  }

  // A time below 2^32 ticks (the first minutes of 1601) means none was stamped.
  if ((plate.ftMeasured >> 32) == 0) return header;
  std::tm calendar{};
  if (!FileTimeToCalendar(plate.ftMeasured, &calendar)) return header;

  char stamp[128];
  FormatTimePart(ownDateFormat != nullptr ? ownDateFormat : dateFormat, calendar, stamp,
                 sizeof stamp);
  AppendBounded(header, "     ");
  AppendBounded(header, stamp);
  AppendBounded(header, " ");
  FormatTimePart(timeFormat, calendar, stamp, sizeof stamp);
  AppendBounded(header, " ");
  AppendBounded(header, stamp);
  return header;
}

std::string BuildResultText() {
  const bool decimalComma = AppSettings.bDelimComma != 0;
  std::string text;
  text.reserve(kRows * (kColumns * kWellTextSize + 2) + kResultHeaderSize + 2);
  char number[kWellTextSize];
  for (int row = 0; row < kRows; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      if (column > 0) text += '\t';
      // The no-value marker is written as it stands (9.999); only the
      // preview shows it as an empty cell.
      FormatWellValue(PlateResult.nValue[row * kColumns + column], decimalComma, number,
                      sizeof number);
      text += number;
    }
    text += "\r\n";
  }
  if (AppSettings.bIncludeHeader) {
    text += BuildResultHeader();
    text += "\r\n";
  }
  return text;
}

size_t BuildResultText(char* dest, size_t size) {
  const std::string text = BuildResultText();
  if (dest && size > 0) {
    const size_t copied = std::min(text.size(), size - 1);
    std::memcpy(dest, text.data(), copied);
    dest[copied] = '\0';
  }
  return text.size();
}

void SetResultDateTimeFormats(const char* newDateFormat, const char* newTimeFormat) {
  dateFormat = newDateFormat ? newDateFormat : "%x";
  timeFormat = newTimeFormat ? newTimeFormat : "%X";
}
