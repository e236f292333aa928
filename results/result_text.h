// The last plate as plain text for other programs: eight lines of twelve
// tab-separated numbers, each line ending in CR LF, then optionally the
// header line naming the filters and the completion time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct TPlateResult;

// Longest number form: "-2147483.648".
inline constexpr size_t kWellTextSize = 16;
// The header never grows beyond this, terminating zero included.
inline constexpr size_t kResultHeaderSize = 256;

// A well value in thousandths as a decimal number with three decimals,
// "-0.012", with a comma instead of the point when asked. Independent of
// the process locale. Writes at most size - 1 characters and a zero;
// returns the number of characters written.
size_t FormatWellValue(int32_t value, bool decimalComma, char* out, size_t size);

// The header line of PlateResult, e.g. "Filter(s)  450 [nm] / 620 [nm]
// 07.12.2026  16:20:05"; empty while the result is not valid. The text lives
// in one buffer that the next call overwrites.
const char* BuildResultHeader();
// The same for any plate (one opened from a file or the archive), the date
// in the strftime form dateFormat when one is given.
std::string ResultHeaderOf(const TPlateResult& plate, const char* dateFormat = nullptr);

// The whole text of PlateResult as AppSettings asks for it (decimal comma,
// header line).
std::string BuildResultText();
// The same into dest, cut to size - 1 characters and zero-terminated;
// returns the length of the whole text, so a caller can size its block.
size_t BuildResultText(char* dest, size_t size);

// strftime formats of the header's date and time. By default the short
// date "%x" and the time "%X" of the LC_TIME locale; tests set fixed forms.
void SetResultDateTimeFormats(const char* dateFormat, const char* timeFormat);
