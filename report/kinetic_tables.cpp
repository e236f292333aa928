#include "report/kinetic_tables.h"

#include "analysis/kinetics_output.h"

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// The per-well table's columns in the given order.
ReportTable PerWellTable(const analysis::KineticAnalysis& analysis, bool decimalComma,
                         const std::vector<size_t>& columns) {
  const std::vector<std::string> header = analysis::KineticsTableHeader(analysis.options.mode);
  ReportTable table;
  for (size_t c : columns) {
    const std::string& name = header[c];
    table.header << Q(name);
    table.numeric.push_back(name != "Well" && name != "Name" && name != "Role" && name != "Flag");
  }
  for (const auto& row : analysis::KineticsTableRows(analysis, decimalComma)) {
    QStringList cells;
    for (size_t c : columns) cells << Q(row[c]);
    table.rows.push_back(cells);
  }
  return table;
}

}  // namespace

std::vector<ReportTable> KineticReportTables(const analysis::KineticAnalysis& analysis,
                                             bool decimalComma) {
  const size_t columns = analysis::KineticsTableHeader(analysis.options.mode).size();
  std::vector<size_t> all(columns);
  for (size_t c = 0; c < columns; ++c) all[c] = c;
  if (analysis.options.mode == analysis::KineticMode::Rate) {
    return {PerWellTable(analysis, decimalComma, all)};
  }
  std::vector<size_t> growth(all.begin(), all.begin() + 11);
  growth.push_back(columns - 1);  // Flag
  std::vector<size_t> logistic = {0};
  for (size_t c = 11; c + 1 < columns; ++c) logistic.push_back(c);
  return {PerWellTable(analysis, decimalComma, growth),
          PerWellTable(analysis, decimalComma, logistic)};
}
