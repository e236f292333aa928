// The analysis results as the operator reads and copies them: one row per
// standard level, sample and control, under the header Name, Role, Wells,
// Mean, SD, CV %, Concentration, Flag.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "analysis/plate_analysis.h"

QStringList ResultsHeader();

// Numbers as the analysis writes them, with a decimal comma when asked.
std::vector<QStringList> ResultsRows(const analysis::PlateAnalysis& result, bool decimalComma);

// The header and the rows as tab-separated lines, each ending in CR LF as
// the plate's own clipboard text does.
QString ResultsText(const analysis::PlateAnalysis& result, bool decimalComma);
