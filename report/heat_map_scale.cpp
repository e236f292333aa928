#include "report/heat_map_scale.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// Viridis at ten even steps; between them the scale is interpolated.
constexpr std::array<QRgb, 10> kViridis = {0x440154, 0x482878, 0x3e4a89, 0x31688e, 0x26828e,
                                           0x1f9e89, 0x35b779, 0x6dcd59, 0xb4de2c, 0xfde725};

int Mix(int from, int to, double share) {
  return static_cast<int>(std::lround(from + (to - from) * share));
}

}  // namespace

QColor HeatMapColour(double t) {
  if (!(t > 0)) t = 0;  // NaN too
  t = std::min(t, 1.0);
  const double scaled = t * (kViridis.size() - 1);
  const size_t below = std::min(static_cast<size_t>(scaled), kViridis.size() - 2);
  const double share = scaled - static_cast<double>(below);
  const QColor a(kViridis[below]), b(kViridis[below + 1]);
  return QColor(Mix(a.red(), b.red(), share), Mix(a.green(), b.green(), share),
                Mix(a.blue(), b.blue(), share));
}

double HeatMapPosition(double value, double low, double high) {
  if (!(high > low)) return 0.5;
  return std::clamp((value - low) / (high - low), 0.0, 1.0);
}

QColor TextColourOn(const QColor& background) {
  // Relative luminance by the sRGB weights, good enough to pick a text colour.
  const double luminance =
      0.2126 * background.redF() + 0.7152 * background.greenF() + 0.0722 * background.blueF();
  return luminance < 0.45 ? QColor(Qt::white) : QColor(Qt::black);
}

QGradientStops HeatMapStops() {
  QGradientStops stops;
  for (size_t i = 0; i < kViridis.size(); ++i) {
    stops.append({static_cast<double>(i) / (kViridis.size() - 1), QColor(kViridis[i])});
  }
  return stops;
}
