// The XML parts of a workbook that the Plate sheet is read from, read with
// libxml2's streaming reader, so that namespace prefixes, entities and
// character references, CDATA and self-closing elements read as in any XML.
// Failures throw std::runtime_error with the reason.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace workbook_xml {

struct Cell {
  std::string text;
  std::optional<double> number;
};
// Cells by row, then column, both from 0 ("B12" is row 11, column 1).
using Rows = std::map<int, std::map<int, Cell>>;

// The part of the sheet named name in xl/workbook.xml
// ("xl/worksheets/sheetN.xml"); empty when there is no such sheet.
std::string SheetPart(const std::string& workbook, const std::string& name);

// The text of each string of xl/sharedStrings.xml, in order.
std::vector<std::string> SharedStrings(const std::string& xml);

// The cells of a worksheet that hold something; shared strings resolved.
Rows SheetCells(const std::string& xml, const std::vector<std::string>& strings);

}  // namespace workbook_xml
