// CSV as spreadsheets write it, split into trimmed cells: fields in double
// quotes may hold the separator and doubled quotes; space around a field
// outside quotes is dropped. Used to read result files and plate layouts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct CsvLine {
  int number = 0;                  // 1-based line number in the text
  std::vector<std::string> cells;  // at least one, possibly empty
};

struct CsvTable {
  std::vector<CsvLine> lines;
};

// ';' when the first line that is not blank holds one, ',' otherwise. A
// leading UTF-8 byte-order mark is skipped.
char CsvSeparator(std::string_view text);

// Every line of the text (CR LF, LF or CR ends a line), split at the given
// separator, or at the text's own (CsvSeparator) when none is given.
CsvTable SplitCsv(std::string_view text, char separator = '\0');

// True when every cell is empty: a spreadsheet's ",,,," counts as blank.
bool IsBlankLine(const CsvLine& line);

// The cell as a CSV field: quoted when it holds the separator, a quote, a
// line break or space at either end.
std::string CsvCellText(const std::string& text, char separator);
