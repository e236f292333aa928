// The per-well table of a kinetic report: the window's columns; the growth
// table's seventeen do not fit a page across, so the logistic fit's five
// follow in a table of their own (with the well).
#pragma once

#include <vector>

#include "analysis/kinetics.h"
#include "report/report_table.h"

std::vector<ReportTable> KineticReportTables(const analysis::KineticAnalysis& analysis,
                                             bool decimalComma);
