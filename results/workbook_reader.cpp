#include "results/workbook_reader.h"

#include <unzip.h>

#include <charconv>
#include <cmath>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>

#include "results/file_time.h"
#include "results/well_names.h"

namespace {

using Clock = std::chrono::system_clock;

constexpr int kPlateRows = 8, kPlateColumns = 12;

[[noreturn]] void Fail(const std::string& reason) {
  throw std::runtime_error(reason);
}

// One member of the zip file, whole; none when it is not there.
std::optional<std::string> ZipMember(unzFile zip, const char* name) {
  if (unzLocateFile(zip, name, 1) != UNZ_OK) return std::nullopt;
  if (unzOpenCurrentFile(zip) != UNZ_OK) Fail(std::string(name) + " cannot be unpacked");
  std::string text;
  char buffer[16384];
  int got = 0;
  while ((got = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0) text.append(buffer, got);
  unzCloseCurrentFile(zip);
  if (got < 0) Fail(std::string(name) + " cannot be unpacked");
  return text;
}

std::string Unescaped(std::string_view text) {
  static const std::pair<std::string_view, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    bool replaced = false;
    for (const auto& [entity, letter] : kEntities) {
      if (text.substr(i, entity.size()) == entity) {
        plain += letter;
        i += entity.size() - 1;
        replaced = true;
        break;
      }
    }
    if (!replaced) plain += text[i];
  }
  return plain;
}

// The value of attribute name in the tag text (from '<' to '>').
std::string Attribute(std::string_view tag, std::string_view name) {
  const std::string key = " " + std::string(name) + "=\"";
  const size_t at = tag.find(key);
  if (at == std::string_view::npos) return {};
  const size_t begin = at + key.size();
  return Unescaped(tag.substr(begin, tag.find('"', begin) - begin));
}

// The text of each <si> (its <t> runs joined), in order.
std::vector<std::string> SharedStrings(const std::string& xml) {
  std::vector<std::string> strings;
  size_t at = 0;
  while ((at = xml.find("<si>", at)) != std::string::npos) {
    const size_t end = xml.find("</si>", at);
    if (end == std::string::npos) Fail("xl/sharedStrings.xml is cut short");
    std::string text;
    for (size_t t = xml.find("<t", at); t < end; t = xml.find("<t", t + 1)) {
      const size_t open = xml.find('>', t);
      if (xml.compare(t, 3, "<t>") != 0 && xml.compare(t, 3, "<t ") != 0) continue;
      text += Unescaped(std::string_view(xml).substr(open + 1, xml.find("</t>", open) - open - 1));
    }
    strings.push_back(text);
    at = end;
  }
  return strings;
}

// "B12" -> row 11, column 1.
bool CellPlace(const std::string& ref, int* row, int* column) {
  size_t i = 0;
  *column = 0;
  while (i < ref.size() && ref[i] >= 'A' && ref[i] <= 'Z')
    *column = *column * 26 + ref[i++] - 'A' + 1;
  --*column;
  const auto [stop, error] = std::from_chars(ref.data() + i, ref.data() + ref.size(), *row);
  --*row;
  return i > 0 && error == std::errc() && stop == ref.data() + ref.size() && *row >= 0;
}

struct Cell {
  std::string text;
  std::optional<double> number;
};
using Rows = std::map<int, std::map<int, Cell>>;

Rows SheetCells(const std::string& xml, const std::vector<std::string>& strings) {
  Rows rows;
  for (size_t at = xml.find("<c "); at != std::string::npos; at = xml.find("<c ", at + 1)) {
    const size_t tagEnd = xml.find('>', at);
    if (tagEnd == std::string::npos) Fail("the Plate sheet is cut short");
    const std::string_view tag(xml.data() + at, tagEnd - at + 1);
    int row = 0, column = 0;
    if (!CellPlace(Attribute(tag, "r"), &row, &column)) Fail("the Plate sheet has a bad cell");
    if (tag.ends_with("/>")) continue;
    const size_t end = xml.find("</c>", tagEnd);
    const std::string_view inner(xml.data() + tagEnd + 1, end - tagEnd - 1);
    const size_t v = inner.find("<v>");
    const std::string type = Attribute(tag, "t");
    Cell cell;
    if (type == "inlineStr") {
      cell.text = SharedStrings("<si>" + std::string(inner) + "</si>").at(0);
    } else if (v != std::string_view::npos) {
      const std::string value(inner.substr(v + 3, inner.find("</v>", v) - v - 3));
      if (type == "s") {
        size_t index = 0;
        const auto [stop, error] =
            std::from_chars(value.data(), value.data() + value.size(), index);
        if (error != std::errc() || index >= strings.size()) Fail("the Plate sheet has a bad text");
        cell.text = strings[index];
      } else if (type == "str") {
        cell.text = Unescaped(value);
      } else {
        char* stop = nullptr;
        cell.number = std::strtod(value.c_str(), &stop);
        if (stop == value.c_str() || *stop != '\0') Fail("the Plate sheet has a bad number");
        cell.text = value;
      }
    }
    rows[row][column] = cell;
  }
  return rows;
}

const Cell* At(const Rows& rows, int row, int column) {
  const auto line = rows.find(row);
  if (line == rows.end()) return nullptr;
  const auto cell = line->second.find(column);
  return cell == line->second.end() ? nullptr : &cell->second;
}

std::string TextAt(const Rows& rows, int row, int column) {
  const Cell* cell = At(rows, row, column);
  return cell != nullptr ? cell->text : std::string();
}

std::optional<Clock::time_point> TimeOf(const std::string& text, int row) {
  if (text.empty()) return std::nullopt;
  Clock::time_point when;
  if (!ParseIsoTime(text, &when)) {
    Fail("row " + std::to_string(row + 1) + ": '" + text + "' is not a time");
  }
  return when;
}

// A header row: 1 to 12 in columns B to M.
bool IsGridHeader(const Rows& rows, int row) {
  for (int column = 1; column <= kPlateColumns; ++column) {
    const Cell* cell = At(rows, row, column);
    if (cell == nullptr || cell->number != column) return false;
  }
  return true;
}

void ReadGrid(const Rows& rows, int header, SavedPlate& saved) {
  for (int line = 0; line < kPlateRows; ++line) {
    const int row = header + 1 + line;
    if (TextAt(rows, row, 0) != std::string(1, static_cast<char>('A' + line))) {
      Fail("row " + std::to_string(row + 1) + ": plate row " +
           std::string(1, static_cast<char>('A' + line)) + " is missing");
    }
    for (int column = 0; column < kPlateColumns; ++column) {
      const Cell* cell = At(rows, row, column + 1);
      int32_t& value = saved.plate.nValue[line * kPlateColumns + column];
      if (cell == nullptr || (!cell->number && cell->text.empty())) {
        value = kNoValue;
      } else if (!cell->number && cell->text == kOverRangeCell) {
        value = kNoValue;
        saved.plate.bOverRange[line * kPlateColumns + column] = 1;
      } else if (!cell->number) {
        Fail("row " + std::to_string(row + 1) + ": '" + cell->text + "' is not a number");
      } else {
        value = static_cast<int32_t>(std::llround(*cell->number * 1000.0));
      }
    }
  }
  saved.plate.bValid = 1;
  if (saved.context.completed) {
    const std::time_t seconds = Clock::to_time_t(*saved.context.completed);
    std::tm local{};
    localtime_r(&seconds, &local);
    saved.plate.ftMeasured = FileTimeFromCalendar(local);
  }
}

int32_t Nanometres(const Cell* cell) {
  return cell != nullptr && cell->number ? static_cast<int32_t>(std::lround(*cell->number)) : 0;
}

std::vector<SavedPlate> PlatesOf(const Rows& rows) {
  std::vector<SavedPlate> plates;
  SavedPlate next;
  for (const auto& [row, cells] : rows) {
    const std::string key = TextAt(rows, row, 0);
    if (key == "reader") next.context.readerKind = TextAt(rows, row, 1);
    if (key == "reader id") next.context.readerId = TextAt(rows, row, 1);
    if (key == "primary [nm]") next.plate.nPrimary = Nanometres(At(rows, row, 1));
    if (key == "reference [nm]") next.plate.nReference = Nanometres(At(rows, row, 1));
    if (key == "started") next.context.started = TimeOf(TextAt(rows, row, 1), row);
    if (key == "completed") next.context.completed = TimeOf(TextAt(rows, row, 1), row);
    if (IsGridHeader(rows, row)) {
      ReadGrid(rows, row, next);
      plates.push_back(next);
      next = SavedPlate{};
    }
  }
  return plates;
}

// xl/worksheets/sheetN.xml of the sheet named Plate.
std::string PlateSheetName(const std::string& workbook) {
  for (size_t at = workbook.find("<sheet "); at != std::string::npos;
       at = workbook.find("<sheet ", at + 1)) {
    const std::string_view tag(workbook.data() + at, workbook.find('>', at) - at + 1);
    if (Attribute(tag, "name") == "Plate") {
      return "xl/worksheets/sheet" + Attribute(tag, "sheetId") + ".xml";
    }
  }
  Fail("no sheet named Plate");
}

}  // namespace

SavedPlates ReadWorkbookPlates(const std::string& path) {
  SavedPlates result;
  const std::unique_ptr<void, int (*)(unzFile)> zip(unzOpen64(path.c_str()), unzClose);
  if (!zip) {
    const bool readable = std::ifstream(path).good();
    result.error = path + (readable ? ": not an Excel workbook (no zip file)" : ": cannot be read");
    return result;
  }
  try {
    const std::optional<std::string> workbook = ZipMember(zip.get(), "xl/workbook.xml");
    if (!workbook) Fail("not an Excel workbook (no xl/workbook.xml)");
    const std::string sheetName = PlateSheetName(*workbook);
    const std::optional<std::string> sheet = ZipMember(zip.get(), sheetName.c_str());
    if (!sheet) Fail(sheetName + " is missing");
    const std::optional<std::string> shared = ZipMember(zip.get(), "xl/sharedStrings.xml");
    result.plates =
        PlatesOf(SheetCells(*sheet, shared ? SharedStrings(*shared) : std::vector<std::string>{}));
    if (result.plates.empty()) Fail("the Plate sheet holds no plate");
    result.ok = true;
  } catch (const std::exception& failure) {
    result.plates.clear();
    result.error = path + ": " + failure.what();
  }
  return result;
}

SavedPlates ReadPlateFile(const std::string& path) {
  const bool workbook = path.size() >= 5 && (path.ends_with(".xlsx") || path.ends_with(".XLSX"));
  return workbook ? ReadWorkbookPlates(path) : ReadResultFile(path);
}
