#include "results/workbook_reader.h"

#include <unzip.h>

#include <cmath>
#include <ctime>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>

#include "results/file_time.h"
#include "results/well_names.h"
#include "results/workbook_xml.h"

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

using workbook_xml::Cell;
using workbook_xml::Rows;

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
    const std::string sheetName = workbook_xml::SheetPart(*workbook, "Plate");
    if (sheetName.empty()) Fail("no sheet named Plate");
    const std::optional<std::string> sheet = ZipMember(zip.get(), sheetName.c_str());
    if (!sheet) Fail(sheetName + " is missing");
    const std::optional<std::string> shared = ZipMember(zip.get(), "xl/sharedStrings.xml");
    const std::vector<std::string> strings =
        shared ? workbook_xml::SharedStrings(*shared) : std::vector<std::string>{};
    result.plates = PlatesOf(workbook_xml::SheetCells(*sheet, strings));
    if (result.plates.empty()) Fail("the Plate sheet holds no plate");
    result.ok = true;
  } catch (const std::exception& failure) {
    result.plates.clear();
    result.error = path + ": " + failure.what();
  }
  return result;
}

bool ReadWorkbookSheet(const std::string& path, const std::string& sheetName,
                       workbook_xml::Rows* cells, std::string* error) {
  const std::unique_ptr<void, int (*)(unzFile)> zip(unzOpen64(path.c_str()), unzClose);
  if (!zip) {
    *error = path + ": not an Excel workbook (no zip file)";
    return false;
  }
  try {
    const std::optional<std::string> workbook = ZipMember(zip.get(), "xl/workbook.xml");
    if (!workbook) Fail("not an Excel workbook (no xl/workbook.xml)");
    const std::string part = workbook_xml::SheetPart(*workbook, sheetName);
    if (part.empty()) Fail("no sheet named " + sheetName);
    const std::optional<std::string> sheet = ZipMember(zip.get(), part.c_str());
    if (!sheet) Fail(part + " is missing");
    const std::optional<std::string> shared = ZipMember(zip.get(), "xl/sharedStrings.xml");
    *cells = workbook_xml::SheetCells(
        *sheet, shared ? workbook_xml::SharedStrings(*shared) : std::vector<std::string>{});
    return true;
  } catch (const std::exception& failure) {
    *error = path + ": " + failure.what();
    return false;
  }
}

SavedPlates ReadPlateFile(const std::string& path) {
  const bool workbook = path.size() >= 5 && (path.ends_with(".xlsx") || path.ends_with(".XLSX"));
  return workbook ? ReadWorkbookPlates(path) : ReadResultFile(path);
}
