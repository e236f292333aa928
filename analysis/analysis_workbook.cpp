#include "analysis/analysis_workbook.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "analysis/analysis_report.h"
#include "analysis/workbook_sheet.h"
#include "results/well_names.h"

namespace analysis {

namespace {

void GridHeader(Sheet& sheet, const std::string& corner) {
  sheet.Text(0, corner, true);
  for (int column = 1; column <= kLayoutColumns; ++column) sheet.Number(column, column);
  sheet.Next();
}

void WritePlates(Sheet& sheet, const std::vector<WorkbookPlate>& plates, LabFormats& formats) {
  sheet.Width(0, 0, 16);
  for (const WorkbookPlate& item : plates) {
    const TPlateResult& plate = item.plate;
    if (!item.title.empty()) {
      sheet.Text(0, item.title, true);
      sheet.Next();
    }
    sheet.Pair("reader", item.context.readerKind);
    sheet.Pair("reader id", item.context.readerId);
    sheet.Pair("primary [nm]",
               plate.nPrimary ? std::optional<double>(plate.nPrimary) : std::nullopt);
    sheet.Pair("reference [nm]",
               plate.nReference ? std::optional<double>(plate.nReference) : std::nullopt);
    sheet.Pair("started", item.context.started ? FormatIsoLocalTime(*item.context.started) : "");
    // The record's own completion time when the context has none.
    const auto completed = ReadCompletionTime(plate, item.context);
    sheet.Pair("completed", completed ? FormatIsoLocalTime(*completed) : "");
    const ReadRecordNotes& record = item.context.record;
    if (!record.plateId.empty()) sheet.Pair("plate id", record.plateId);
    if (!record.status.empty())
      sheet.Pair("status", record.statusMessage.empty()
                               ? record.status
                               : record.status + ": " + record.statusMessage);
    for (const ExcludedWellNote& e : record.excluded) {
      sheet.Text(0, "excluded well");
      sheet.Text(1, WellName(e.well));
      sheet.Text(2, e.reason);
      sheet.Text(3, e.who);
      sheet.Text(4, e.when);
      sheet.Next();
    }
    sheet.Next();
    GridHeader(sheet, "");
    for (int row = 0; row < kLayoutRows; ++row) {
      sheet.Text(0, std::string(1, static_cast<char>('A' + row)), true);
      for (int column = 0; column < kLayoutColumns; ++column) {
        const int well = row * kLayoutColumns + column;
        const int32_t value = plate.nValue[well];
        if (value != kNoValue) {
          sheet.Number(column + 1, value / 1000.0, formats.Absorbance());
        } else if (plate.bOverRange[well] != 0) {
          sheet.Text(column + 1, kOverRangeCell);  // not an empty well
        }
      }
      sheet.Next();
    }
    sheet.Next();
  }
}

}  // namespace

void WriteLayoutSheet(Sheet& sheet, const PlateLayout* layout) {
  if (!layout) {
    sheet.Text(0, "No layout.");
    return;
  }
  sheet.Width(0, 0, 14);
  using Cell = std::function<void(int column, const WellContent&)>;
  const std::pair<const char*, Cell> blocks[] = {
      {"Role", [&](int c, const WellContent& w) { sheet.Text(c, WellRoleName(w.role)); }},
      {"Name", [&](int c, const WellContent& w) { sheet.Text(c, w.name); }},
      {"Concentration", [&](int c, const WellContent& w) { sheet.Number(c, w.concentration); }},
      {"Dilution", [&](int c, const WellContent& w) { sheet.Number(c, w.dilution); }},
      {"Unit",
       [&](int c, const WellContent& w) {
         if (w.role != WellRole::Empty) sheet.Text(c, layout->unit);
       }},
      {"Range",
       [&](int c, const WellContent& w) {
         if (w.range) {
           sheet.Text(c, FormatNumber(w.range->low) + "-" + FormatNumber(w.range->high));
         }
       }},
  };
  for (const auto& [name, cell] : blocks) {
    GridHeader(sheet, name);
    for (int row = 0; row < kLayoutRows; ++row) {
      sheet.Text(0, std::string(1, static_cast<char>('A' + row)), true);
      for (int column = 0; column < kLayoutColumns; ++column) {
        cell(column + 1, layout->wells[row * kLayoutColumns + column]);
      }
      sheet.Next();
    }
    sheet.Next();
  }
}

namespace {

void WriteLabTable(Sheet& sheet, const PlateAnalysis& analysis, LabFormats& formats) {
  const int digits = *analysis.significantDigits;
  const auto header = ResultsTableHeader(analysis);
  for (size_t c = 0; c < header.size(); ++c) sheet.Text(static_cast<int>(c), header[c], true);
  sheet.Next();
  const auto rows = ResultsTableRows(analysis);
  for (size_t g = 0; g < analysis.groups.size(); ++g) {
    const GroupResult& group = analysis.groups[g];
    for (int c : {0, 1, 2, 9}) sheet.Text(c, rows[g][static_cast<size_t>(c)]);
    if (group.role != WellRole::Standard) sheet.Number(3, group.dilution);
    sheet.Number(4, group.mean, formats.Absorbance());
    sheet.Number(5, group.sd, formats.Absorbance());
    sheet.Number(6, group.cv, formats.Decimals(1));
    sheet.Number(7, group.concentration, formats.Significant(group.concentration, digits));
    sheet.Number(8, group.recovery, formats.Decimals(1));
    sheet.Next();
  }
}

}  // namespace

void WriteAnalysisSheet(Sheet& sheet, const std::vector<WorkbookPlate>& plates,
                        LabFormats& formats) {
  sheet.Width(0, 0, 16);
  sheet.Width(2, 2, 14);
  sheet.Width(6, 7, 16);
  bool any = false;
  for (const WorkbookPlate& item : plates) {
    if (!item.analysis) continue;
    any = true;
    const PlateAnalysis& analysis = *item.analysis;
    if (!item.title.empty()) {
      sheet.Text(0, item.title, true);
      sheet.Next();
    }
    const bool lab = analysis.significantDigits.has_value();
    const int digits = analysis.significantDigits.value_or(kDefaultSignificantDigits);
    sheet.Pair("blank", analysis.blank, lab ? formats.Absorbance() : nullptr);
    sheet.Pair("unit", analysis.unit);
    sheet.Pair("fit", CurveModelName(analysis.fit.model));
    sheet.Pair("weighting", WeightingName(analysis.fit.weighting));
    if (analysis.fit.fitted) {
      for (const FitParameter& p : analysis.fit.parameters) {
        sheet.Pair(p.name, p.value, lab ? formats.Significant(p.value, digits) : nullptr);
      }
      sheet.Pair("r2", analysis.fit.r2, lab ? formats.Decimals(4) : nullptr);
    } else {
      sheet.Pair("failure", analysis.fit.failure);
    }
    if (lab) {
      sheet.Pair("lloq", analysis.lloq, formats.Significant(analysis.lloq, digits));
      sheet.Pair("uloq", analysis.uloq, formats.Significant(analysis.uloq, digits));
    }
    if (analysis.qc) {
      sheet.Pair("verdict", analysis.qc->Verdict());
      for (const QcRuleResult& rule : analysis.qc->rules) {
        sheet.Text(0, "qc " + rule.rule);
        sheet.Text(1, rule.Outcome());
        sheet.Text(2, rule.detail);
        sheet.Next();
      }
    }
    for (const ExcludedWell& e : analysis.excluded) {
      sheet.Text(0, "excluded");
      sheet.Text(1, WellName(e.well));
      sheet.Text(2, e.reason);
      sheet.Next();
    }
    sheet.Next();
    if (lab) {
      WriteLabTable(sheet, analysis, formats);
      sheet.Next();
      continue;
    }
    const auto& header = ResultsTableHeader();
    for (size_t c = 0; c < header.size(); ++c) sheet.Text(static_cast<int>(c), header[c], true);
    sheet.Next();
    const auto rows = ResultsTableRows(analysis);
    for (size_t g = 0; g < analysis.groups.size(); ++g) {
      const GroupResult& group = analysis.groups[g];
      sheet.Text(0, rows[g][0]);
      sheet.Text(1, rows[g][1]);
      sheet.Text(2, rows[g][2]);
      sheet.Number(3, group.mean);
      sheet.Number(4, group.sd);
      sheet.Number(5, group.cv);
      sheet.Number(6, group.concentration);
      sheet.Text(7, rows[g][7]);
      sheet.Next();
    }
    sheet.Next();
  }
  if (!any) sheet.Text(0, "No layout.");
}

bool WriteAnalysisWorkbook(const std::string& path, const std::vector<WorkbookPlate>& plates,
                           const PlateLayout* layout, std::string* error) {
  return WriteWorkbookFile(
      path,
      [&](lxw_workbook* book, lxw_format* bold) {
        Sheet plateSheet(book, "Plate", bold);
        Sheet layoutSheet(book, "Layout", bold);
        Sheet analysisSheet(book, "Analysis", bold);
        LabFormats formats(book);
        WritePlates(plateSheet, plates, formats);
        WriteLayoutSheet(layoutSheet, layout);
        WriteAnalysisSheet(analysisSheet, plates, formats);
      },
      error);
}

}  // namespace analysis
