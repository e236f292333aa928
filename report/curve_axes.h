// Where the standard curve's axes begin, end and carry numbers: one answer
// for the analysis window's chart and the report's painting, so both show
// the same axes.
#pragma once

#include <string>
#include <vector>

struct AxisScale {
  bool logarithmic = false;
  double from = 0, to = 1;
  std::vector<double> ticks;  // the numbered marks, within from..to
};

// The concentrations along: on a logarithmic axis whole decades around the
// positive values (zero has no place there), on a linear one round ticks
// from zero; the end points clear of the border.
AxisScale ConcentrationScale(const std::vector<double>& values, bool logarithmic);

// The absorbances up: round ticks from zero (or from the lowest value below it).
AxisScale ResponseScale(const std::vector<double>& values);

// A tick's number: "%g" ("0.5", "1000", "1e+06"), the decimal comma when chosen.
std::string AxisLabel(double value, bool decimalComma);
