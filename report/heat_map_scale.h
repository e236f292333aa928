// The heat map's colour scale: viridis, dark violet through teal to
// yellow. It reads the same to the colour-blind and in grey print, and
// its lightness rises evenly, so equal steps in value look like equal steps.
#pragma once

#include <QColor>
#include <QGradientStops>

// The colour at position t, 0 (lowest) to 1 (highest); clamped.
QColor HeatMapColour(double t);

// Where value lies between low and high, 0 to 1; the middle when they are equal.
double HeatMapPosition(double value, double low, double high);

// Black or white, whichever reads better on that background.
QColor TextColourOn(const QColor& background);

// The scale as gradient stops, for the legend.
QGradientStops HeatMapStops();
