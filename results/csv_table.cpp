#include "results/csv_table.h"

namespace {

std::string_view WithoutByteOrderMark(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return text;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t';
}

// One line into cells. Space outside quotes is trimmed; quoted text is
// kept as it stands.
std::vector<std::string> SplitLine(std::string_view line, char separator) {
  std::vector<std::string> cells;
  std::string cell;
  bool quoted = false;
  bool wasQuoted = false;
  size_t keep = 0;  // the length of cell up to its last character that is not trailing space
  const auto finish = [&] {
    cell.resize(keep);
    cells.push_back(std::move(cell));
    cell.clear();
    keep = 0;
    wasQuoted = false;
  };
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        cell += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        cell += c;
      }
      keep = cell.size();
    } else if (c == separator) {
      finish();
    } else if (c == '"' && !wasQuoted && keep == 0 &&
               cell.find_first_not_of(" \t") == std::string::npos) {
      cell.clear();
      quoted = true;
      wasQuoted = true;
    } else if (IsSpace(c) && keep == 0) {
      // space before the field
    } else {
      cell += c;
      if (!IsSpace(c)) keep = cell.size();
    }
  }
  finish();
  return cells;
}

}  // namespace

char CsvSeparator(std::string_view text) {
  text = WithoutByteOrderMark(text);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    if (line.find_first_not_of(" \t,;") != std::string_view::npos) {
      return line.find(';') != std::string_view::npos ? ';' : ',';
    }
    start = end + 1;
  }
  return ',';
}

CsvTable SplitCsv(std::string_view text, char separator) {
  if (separator == '\0') separator = CsvSeparator(text);
  text = WithoutByteOrderMark(text);
  CsvTable table;
  size_t start = 0;
  int number = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    table.lines.push_back({++number, SplitLine(text.substr(start, end - start), separator)});
    start = end + 1;
    if (end < text.size() && text[end] == '\r' && start < text.size() && text[start] == '\n') {
      ++start;
    }
  }
  return table;
}

bool IsBlankLine(const CsvLine& line) {
  for (const std::string& cell : line.cells) {
    if (!cell.empty()) return false;
  }
  return true;
}

std::string CsvCellText(const std::string& text, char separator) {
  const bool needsQuotes =
      text.find_first_of(std::string{separator, '"', '\r', '\n'}) != std::string::npos ||
      (!text.empty() && (IsSpace(text.front()) || IsSpace(text.back())));
  if (!needsQuotes) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}
