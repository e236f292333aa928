#include "analysis/number_format.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace analysis {

namespace {

std::string WithMark(std::string text, bool decimalComma) {
  if (decimalComma) std::replace(text.begin(), text.end(), '.', ',');
  return text;
}

// "-0.000" reads as a sign error on a table; zero has no sign.
std::string Unsigned0(std::string text) {
  if (text.size() > 1 && text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos) {
    text.erase(0, 1);
  }
  return text;
}

}  // namespace

std::string FormatFixed(std::optional<double> value, int decimals, bool decimalComma) {
  if (!value || !std::isfinite(*value)) return "";
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", std::clamp(decimals, 0, 17), *value);
  return WithMark(Unsigned0(text), decimalComma);
}

std::string FormatAbsorbance(std::optional<double> value, bool decimalComma) {
  return FormatFixed(value, 3, decimalComma);
}

std::string FormatPercent(std::optional<double> value, bool decimalComma) {
  return FormatFixed(value, 1, decimalComma);
}

std::string FormatR2(std::optional<double> value, bool decimalComma) {
  return FormatFixed(value, 4, decimalComma);
}

std::optional<int> SignificantDecimals(double value, int digits) {
  digits = std::clamp(digits, 1, 17);
  const double magnitude = std::abs(value);
  if (value == 0 || !std::isfinite(value)) return 0;
  if (magnitude < 1e-6 || magnitude >= 1e15) return std::nullopt;
  // Round to the digits first: 9999.6 at 4 digits is 10000, not 9999.6.
  char rounded[64];
  std::snprintf(rounded, sizeof rounded, "%.*e", digits - 1, value);
  const double r = std::strtod(rounded, nullptr);
  const int exponent = static_cast<int>(std::floor(std::log10(std::abs(r))));
  return std::max(0, digits - 1 - exponent);
}

std::string FormatSignificant(std::optional<double> value, int digits, bool decimalComma) {
  if (!value || !std::isfinite(*value)) return "";
  digits = std::clamp(digits, 1, 17);
  const double v = *value;
  char text[64];
  if (v == 0) {
    std::snprintf(text, sizeof text, "0");
  } else if (const std::optional<int> decimals = SignificantDecimals(v, digits)) {
    // Printed from the rounded value, so the digits beyond are zeros.
    char rounded[64];
    std::snprintf(rounded, sizeof rounded, "%.*e", digits - 1, v);
    std::snprintf(text, sizeof text, "%.*f", *decimals, std::strtod(rounded, nullptr));
  } else {
    std::snprintf(text, sizeof text, "%.*e", digits - 1, v);
  }
  return WithMark(Unsigned0(text), decimalComma);
}

bool NaturalLess(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
  while (i < a.size() && j < b.size()) {
    if (digit(a[i]) && digit(b[j])) {
      size_t i0 = i, j0 = j;
      while (i0 < a.size() && a[i0] == '0') ++i0;
      while (j0 < b.size() && b[j0] == '0') ++j0;
      size_t i1 = i0, j1 = j0;
      while (i1 < a.size() && digit(a[i1])) ++i1;
      while (j1 < b.size() && digit(b[j1])) ++j1;
      if (i1 - i0 != j1 - j0) return i1 - i0 < j1 - j0;
      const int order = a.substr(i0, i1 - i0).compare(b.substr(j0, j1 - j0));
      if (order != 0) return order < 0;
      i = i1;
      j = j1;
      continue;
    }
    const int ca = std::tolower(static_cast<unsigned char>(a[i]));
    const int cb = std::tolower(static_cast<unsigned char>(b[j]));
    if (ca != cb) return ca < cb;
    ++i;
    ++j;
  }
  if ((a.size() - i) != (b.size() - j)) return a.size() - i < b.size() - j;
  return a < b;  // equal but for case or leading zeros: still a strict order
}

std::vector<double> RoundTicks(double low, double high, int count) {
  if (!std::isfinite(low) || !std::isfinite(high)) return {};
  if (high < low) std::swap(low, high);
  if (high == low) {
    const double pad = low == 0 ? 1 : std::abs(low) * 0.1;
    low -= pad;
    high += pad;
  }
  const double rough = (high - low) / std::max(count, 1);
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  double step = power;
  for (double factor : {1.0, 2.0, 5.0, 10.0}) {
    step = factor * power;
    if (step >= rough) break;
  }
  std::vector<double> ticks;
  const double first = std::floor(low / step + 1e-9) * step;
  for (double t = first; ticks.size() < 1000; t += step) {
    const double tick = std::abs(t) < step * 1e-9 ? 0 : t;
    ticks.push_back(std::round(tick / step) * step);
    if (tick >= high - step * 1e-9) break;
  }
  return ticks;
}

}  // namespace analysis
