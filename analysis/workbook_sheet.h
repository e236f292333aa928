// What the workbooks share: a worksheet written row by row, the cell
// formats that show numbers as the windows do, the ordinary Layout and
// Analysis sheets, and the writing of the file beside its target.
#pragma once

#include <xlsxwriter.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/analysis_workbook.h"
#include "analysis/number_format.h"

namespace analysis {

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

// The layout's blocks as in the layout file; "No layout." without one.
void WriteLayoutSheet(Sheet& sheet, const PlateLayout* layout);
// Each plate's fit, verdict and results table; "No layout." when none has an analysis.
void WriteAnalysisSheet(Sheet& sheet, const std::vector<WorkbookPlate>& plates,
                        LabFormats& formats);

// Makes the workbook with fill (given the book and a bold format) and puts
// it at path only when complete. False with a one-line reason.
bool WriteWorkbookFile(const std::string& path,
                       const std::function<void(lxw_workbook*, lxw_format* bold)>& fill,
                       std::string* error);

}  // namespace analysis
