// Numbers as a lab reports them, for everything people read (windows, TSV,
// CSV, reports): absorbances with 3 decimals, CV and recovery with 1,
// concentrations and curve parameters with the assay's significant digits,
// R² with 4; never an exponent for ordinary values; the decimal comma when
// the user chose it. JSON keeps full precision and does not use these.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace analysis {

inline constexpr int kDefaultSignificantDigits = 4;

struct NumberStyle {
  int significantDigits = kDefaultSignificantDigits;
  bool decimalComma = false;
};

// "" for none or a value that is not finite.
std::string FormatFixed(std::optional<double> value, int decimals, bool decimalComma = false);
std::string FormatAbsorbance(std::optional<double> value, bool decimalComma = false);  // 0.123
std::string FormatPercent(std::optional<double> value, bool decimalComma = false);     // 12.3
std::string FormatR2(std::optional<double> value, bool decimalComma = false);          // 0.9987
// 1234, 12.35, 0.001235; an exponent only below 1e-6 or from 1e15 on.
std::string FormatSignificant(std::optional<double> value, int digits, bool decimalComma = false);
// The decimals FormatSignificant shows value with (rounded to the digits
// first), or nullopt when it writes an exponent (digits - 1 decimals then):
// what a spreadsheet cell's number format needs to show the same.
std::optional<int> SignificantDecimals(double value, int digits);
inline std::string FormatConcentration(std::optional<double> value, const NumberStyle& style) {
  return FormatSignificant(value, style.significantDigits, style.decimalComma);
}

// S1 < S2 < S10: digit runs compare as numbers, the rest without letter case.
bool NaturalLess(std::string_view a, std::string_view b);

// Round tick values (1, 2 or 5 times a power of ten) covering low..high,
// about `count` of them; the first at or below low, the last at or above high.
std::vector<double> RoundTicks(double low, double high, int count = 5);

}  // namespace analysis
