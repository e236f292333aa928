// Reads a workbook the way another program would: unzip (the tool) lists
// the parts, and a small XML scan gives each sheet's cells, numbers apart
// from text (shared strings resolved), with each cell's number format.
#pragma once

#include <cstdio>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace xlsx_reader {

inline std::string Part(const std::string& file, const std::string& part) {
  const std::string command = "unzip -p '" + file + "' '" + part + "' 2>/dev/null";
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
    pclose(pipe);
  }
  return text;
}

inline std::string Unescape(std::string text) {
  const std::pair<const char*, const char*> entities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
  for (const auto& [entity, plain] : entities) {
    for (size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1)) {
      text.replace(at, std::string(entity).size(), plain);
    }
  }
  return text;
}

struct Cell {
  bool isNumber = false;
  double number = 0;
  std::string text;
  std::string numberFormat = "General";  // the format code, e.g. "0.000"
};

// The number format code of each cell style (the s="N" of a cell).
inline std::vector<std::string> StyleFormats(const std::string& file) {
  const std::string styles = Part(file, "xl/styles.xml");
  std::map<std::string, std::string> codes = {{"0", "General"}, {"1", "0"}, {"2", "0.00"}};
  const std::regex numFmt("<numFmt numFmtId=\"([0-9]+)\" formatCode=\"([^\"]*)\"");
  for (std::sregex_iterator it(styles.begin(), styles.end(), numFmt), end; it != end; ++it) {
    codes[(*it)[1]] = Unescape((*it)[2]);
  }
  std::vector<std::string> formats;
  const size_t xfs = styles.find("<cellXfs");
  const std::string cellXfs =
      xfs == std::string::npos ? "" : styles.substr(xfs, styles.find("</cellXfs>", xfs) - xfs);
  const std::regex xf("<xf numFmtId=\"([0-9]+)\"");
  for (std::sregex_iterator it(cellXfs.begin(), cellXfs.end(), xf), end; it != end; ++it) {
    const auto code = codes.find((*it)[1]);
    formats.push_back(code == codes.end() ? "id " + std::string((*it)[1]) : code->second);
  }
  return formats;
}

struct Workbook {
  std::vector<std::string> sheetNames;
  std::vector<std::map<std::string, Cell>> sheets;  // "B2" -> cell, in the order of sheetNames

  const Cell* At(size_t sheet, const std::string& reference) const {
    const auto it = sheets[sheet].find(reference);
    return it == sheets[sheet].end() ? nullptr : &it->second;
  }
};

inline Workbook Read(const std::string& file) {
  Workbook book;
  const std::string workbook = Part(file, "xl/workbook.xml");
  const std::regex sheetTag("<sheet name=\"([^\"]*)\"");
  for (std::sregex_iterator it(workbook.begin(), workbook.end(), sheetTag), end; it != end; ++it) {
    book.sheetNames.push_back(Unescape((*it)[1]));
  }
  std::vector<std::string> shared;
  const std::string strings = Part(file, "xl/sharedStrings.xml");
  const std::regex item("<si>(?:<t[^>]*>([^<]*)</t>|<t/>)</si>");
  for (std::sregex_iterator it(strings.begin(), strings.end(), item), end; it != end; ++it) {
    shared.push_back(Unescape((*it)[1]));
  }
  const std::vector<std::string> formats = StyleFormats(file);
  const std::regex cellTag("<c r=\"([A-Z]+[0-9]+)\"([^>]*)><v>([^<]*)</v></c>");
  const std::regex styleAttribute(" s=\"([0-9]+)\"");
  for (size_t i = 0; i < book.sheetNames.size(); ++i) {
    const std::string xml = Part(file, "xl/worksheets/sheet" + std::to_string(i + 1) + ".xml");
    std::map<std::string, Cell> cells;
    for (std::sregex_iterator it(xml.begin(), xml.end(), cellTag), end; it != end; ++it) {
      Cell cell;
      const std::string attributes = (*it)[2];
      const std::string value = (*it)[3];
      if (std::smatch style; std::regex_search(attributes, style, styleAttribute)) {
        const size_t index = std::stoul(style[1]);
        if (index < formats.size()) cell.numberFormat = formats[index];
      }
      if (attributes.find("t=\"s\"") != std::string::npos) {
        cell.text = shared.at(std::stoul(value));
      } else {
        cell.isNumber = true;
        cell.number = std::stod(value);
      }
      cells[(*it)[1]] = cell;
    }
    book.sheets.push_back(cells);
  }
  return book;
}

}  // namespace xlsx_reader
