#include "analysis/analysis_workbook.h"

#include <stdlib.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <functional>
#include <system_error>

#include "analysis/analysis_report.h"
#include "results/atomic_file.h"
#include "results/well_names.h"

namespace analysis {

namespace {

// One worksheet written row by row.
class Sheet {
 public:
  Sheet(lxw_workbook* book, const char* name, lxw_format* bold)
      : book_(book), sheet_(workbook_add_worksheet(book, name)), bold_(bold) {}

  void Text(int column, const std::string& text, bool strong = false) {
    if (!text.empty()) {
      worksheet_write_string(sheet_, row_, static_cast<lxw_col_t>(column), text.c_str(),
                             strong ? bold_ : nullptr);
    }
  }
  void Number(int column, std::optional<double> value, lxw_format* format = nullptr) {
    if (value && std::isfinite(*value)) {
      worksheet_write_number(sheet_, row_, static_cast<lxw_col_t>(column), *value, format);
    }
  }
  void Pair(const std::string& key, const std::string& text) {
    Text(0, key);
    Text(1, text);
    Next();
  }
  void Pair(const std::string& key, std::optional<double> value, lxw_format* format = nullptr) {
    Text(0, key);
    Number(1, value, format);
    Next();
  }
  void Next(int rows = 1) { row_ += static_cast<lxw_row_t>(rows); }
  void Width(int first, int last, double width) {
    worksheet_set_column(sheet_, static_cast<lxw_col_t>(first), static_cast<lxw_col_t>(last), width,
                         nullptr);
  }

 private:
  lxw_workbook* book_;
  lxw_worksheet* sheet_;
  lxw_format* bold_;
  lxw_row_t row_ = 0;
};

// Cell formats showing numbers as the analysis window and the reports do
// (number_format.h); the cells keep the full value. Made once per workbook.
class LabFormats {
 public:
  explicit LabFormats(lxw_workbook* book) : book_(book) {}

  lxw_format* Decimals(int decimals) { return Format(std::clamp(decimals, 0, kMost), false); }
  // As FormatSignificant shows this value: its decimals, or an exponent.
  lxw_format* Significant(std::optional<double> value, int digits) {
    if (!value || !std::isfinite(*value)) return Decimals(0);
    const std::optional<int> decimals = SignificantDecimals(*value, digits);
    return decimals ? Decimals(*decimals) : Format(std::clamp(digits - 1, 0, kMost), true);
  }
  lxw_format* Absorbance() { return Decimals(3); }

 private:
  static constexpr int kMost = 23;

  lxw_format* Format(int decimals, bool exponent) {
    lxw_format*& format = (exponent ? exponents_ : fixed_)[static_cast<size_t>(decimals)];
    if (!format) {
      format = workbook_add_format(book_);
      const std::string code =
          (decimals == 0 ? "0" : "0." + std::string(decimals, '0')) + (exponent ? "E+00" : "");
      format_set_num_format(format, code.c_str());
    }
    return format;
  }

  lxw_workbook* book_;
  std::array<lxw_format*, kMost + 1> fixed_{};
  std::array<lxw_format*, kMost + 1> exponents_{};
};

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

}  // namespace

bool WriteAnalysisWorkbook(const std::string& path, const std::vector<WorkbookPlate>& plates,
                           const PlateLayout* layout, std::string* error) {
  // Written beside the target and renamed over it when complete.
  std::string scratch = DirectoryOf(path) + "/.platovix-xlsx-XXXXXX";
  const int fd = mkstemp(scratch.data());
  if (fd < 0) {
    *error = std::generic_category().message(errno);
    return false;
  }
  close(fd);

  lxw_workbook* book = workbook_new(scratch.c_str());
  if (!book) {
    unlink(scratch.c_str());
    *error = "cannot create the workbook";
    return false;
  }
  lxw_format* bold = workbook_add_format(book);
  format_set_bold(bold);
  Sheet plateSheet(book, "Plate", bold);
  Sheet layoutSheet(book, "Layout", bold);
  Sheet analysisSheet(book, "Analysis", bold);
  LabFormats formats(book);
  WritePlates(plateSheet, plates, formats);
  WriteLayoutSheet(layoutSheet, layout);
  WriteAnalysisSheet(analysisSheet, plates, formats);
  const lxw_error closed = workbook_close(book);
  if (closed != LXW_NO_ERROR) {
    unlink(scratch.c_str());
    *error = lxw_strerror(closed);
    return false;
  }
  // mkstemp's file is private; a workbook gets the umask's permissions.
  const mode_t mask = umask(0);
  umask(mask);
  chmod(scratch.c_str(), 0666 & ~mask);
  if (std::rename(scratch.c_str(), path.c_str()) != 0) {
    *error = std::generic_category().message(errno);
    unlink(scratch.c_str());
    return false;
  }
  return true;
}

}  // namespace analysis
