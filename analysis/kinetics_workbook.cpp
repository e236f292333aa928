#include "analysis/kinetics_workbook.h"

#include "analysis/kinetics_output.h"
#include "analysis/workbook_sheet.h"
#include "results/shared_state.h"
#include "results/well_names.h"

namespace analysis {

namespace {

void WriteSeries(Sheet& sheet, const std::vector<KineticRead>& reads, LabFormats& formats) {
  sheet.Text(0, "read", true);
  sheet.Text(1, "elapsed [s]", true);
  for (int well = 0; well < kLayoutWells; ++well) sheet.Text(well + 2, WellName(well), true);
  sheet.Next();
  sheet.Width(1, 1, 11);
  for (size_t i = 0; i < reads.size(); ++i) {
    const KineticRead& read = reads[i];
    sheet.Number(0, static_cast<double>(i + 1));
    sheet.Number(1, read.seconds, formats.Decimals(3));
    for (int well = 0; well < kLayoutWells; ++well) {
      const auto w = static_cast<size_t>(well);
      if (read.overRange[w]) {
        sheet.Text(well + 2, kOverRangeCell);
      } else if (read.values[w] != kNoValue) {
        sheet.Number(well + 2, read.values[w] / 1000.0, formats.Absorbance());
      }
    }
    sheet.Next();
  }
}

// The numbers of a well's row, in the table's columns after Well, Name and
// Role and before Flag.
std::vector<std::optional<double>> WellNumbers(const KineticWell& well, KineticMode mode) {
  std::vector<std::optional<double>> numbers = {well.rate, well.r2, well.windowStart,
                                                well.windowEnd};
  if (mode == KineticMode::Rate) {
    numbers.insert(numbers.end(), {well.lag, well.timeToMax});
    return numbers;
  }
  const auto& c = well.logistic;
  numbers.insert(
      numbers.end(),
      {well.doublingTime, well.lag, well.k, well.auc, c ? std::optional(c->k) : std::nullopt,
       c ? std::optional(c->N0()) : std::nullopt, c ? std::optional(c->r) : std::nullopt,
       c ? std::optional(c->TMid()) : std::nullopt, well.logisticAuc});
  return numbers;
}

void WriteTable(Sheet& sheet, const KineticAnalysis& analysis) {
  const KineticMode mode = analysis.options.mode;
  const std::vector<std::string> header = KineticsTableHeader(mode);
  for (size_t c = 0; c < header.size(); ++c) sheet.Text(static_cast<int>(c), header[c], true);
  sheet.Next();
  sheet.Width(3, static_cast<int>(header.size()) - 2, 14);
  const auto rows = KineticsTableRows(analysis);
  for (size_t r = 0; r < analysis.wells.size(); ++r) {
    const KineticWell& well = analysis.wells[r];
    for (int c : {0, 1, 2}) sheet.Text(c, rows[r][static_cast<size_t>(c)]);
    const auto numbers = WellNumbers(well, mode);
    for (size_t i = 0; i < numbers.size(); ++i) sheet.Number(static_cast<int>(i) + 3, numbers[i]);
    sheet.Text(static_cast<int>(header.size()) - 1, rows[r].back());
    sheet.Next();
  }
}

}  // namespace

bool WriteKineticsWorkbook(const std::string& path, const KineticAnalysis& analysis,
                           const std::vector<KineticRead>& reads, const PlateLayout* layout,
                           const PlateAnalysis* rates, std::string* error) {
  return WriteWorkbookFile(
      path,
      [&](lxw_workbook* book, lxw_format* bold) {
        LabFormats formats(book);
        Sheet series(book, "Series", bold);
        WriteSeries(series, reads, formats);
        Sheet table(book, "Kinetics", bold);
        WriteTable(table, analysis);
        if (!rates) return;
        Sheet layoutSheet(book, "Layout", bold);
        WriteLayoutSheet(layoutSheet, layout);
        Sheet analysisSheet(book, "Analysis", bold);
        WorkbookPlate plate;
        plate.title = "Rates (mOD/min) as the response";
        plate.analysis = *rates;
        WriteAnalysisSheet(analysisSheet, {plate}, formats);
      },
      error);
}

}  // namespace analysis
