#include "report/curve_axes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/number_format.h"

namespace {

constexpr int kLinearTicks = 5;

// Ticks at round values over low..high, with room around a point on a
// round border, so the end points are drawn whole.
AxisScale RoundScale(double low, double high) {
  AxisScale scale;
  if (!(high > low)) high = low + 1;
  scale.ticks = analysis::RoundTicks(low, high, kLinearTicks);
  if (scale.ticks.size() < 2) {
    scale.from = low;
    scale.to = high;
    return scale;
  }
  const double step = scale.ticks[1] - scale.ticks[0];
  scale.from = scale.ticks.front();
  scale.to = scale.ticks.back();
  if (low - scale.from < step * 0.05) scale.from -= step / 4;
  if (scale.to - high < step * 0.05) scale.to += step / 4;
  return scale;
}

}  // namespace

AxisScale ConcentrationScale(const std::vector<double>& values, bool logarithmic) {
  double low = 0, high = 0;
  bool any = false;
  for (double value : values) {
    if (!std::isfinite(value) || (logarithmic && !(value > 0))) continue;
    low = any ? std::min(low, value) : value;
    high = any ? std::max(high, value) : value;
    any = true;
  }
  if (!logarithmic) return RoundScale(std::min(0.0, low), any ? high : 1);
  AxisScale scale;
  scale.logarithmic = true;
  if (!any) low = high = 1;
  // Whole decades, the end points clear of the border.
  double from = std::pow(10, std::floor(std::log10(low)));
  double to = std::pow(10, std::ceil(std::log10(high)));
  if (low / from < 1.15) from /= 10;
  if (to / high < 1.15) to *= 10;
  scale.from = from;
  scale.to = to;
  const int first = static_cast<int>(std::lround(std::log10(from)));
  const int last = static_cast<int>(std::lround(std::log10(to)));
  for (int decade = first; decade <= last; ++decade) scale.ticks.push_back(std::pow(10, decade));
  return scale;
}

AxisScale ResponseScale(const std::vector<double>& values) {
  double low = 0, high = 0;
  bool any = false;
  for (double value : values) {
    if (!std::isfinite(value)) continue;
    low = any ? std::min(low, value) : value;
    high = any ? std::max(high, value) : value;
    any = true;
  }
  return RoundScale(std::min(0.0, low), any ? high : 1);
}

std::string AxisLabel(double value, bool decimalComma) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", std::abs(value) < 1e-12 ? 0.0 : value);
  std::string label = text;
  if (decimalComma) std::replace(label.begin(), label.end(), '.', ',');
  return label;
}
