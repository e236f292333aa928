#include "results/result_file_reader.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <system_error>

#include "results/csv_table.h"
#include "results/file_time.h"
#include "results/well_names.h"

namespace {

using Clock = std::chrono::system_clock;

struct ReadError {
  std::string text;
};

[[noreturn]] void Fail(std::string text) {
  throw ReadError{std::move(text)};
}

// "1.310", "-0,012": a well in thousandths, rounded to the nearest.
std::optional<int32_t> Thousandths(std::string text) {
  for (char& c : text) {
    if (c == ',') c = '.';
  }
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value) ||
      std::abs(value) > 2e6) {
    return std::nullopt;
  }
  return static_cast<int32_t>(std::lround(value * 1000));
}

int32_t Nanometres(const std::string& text, const std::string& where) {
  if (text.empty()) return 0;
  int value = 0;
  const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || stop != text.data() + text.size() || value < 0 || value > 9999) {
    Fail(where + ": '" + text + "' is not a wavelength in nm");
  }
  return value;
}

void Finish(SavedPlate& saved) {
  saved.plate.bValid = 1;
  if (!saved.context.completed) return;
  const std::time_t seconds = Clock::to_time_t(*saved.context.completed);
  std::tm local{};
  localtime_r(&seconds, &local);
  saved.plate.ftMeasured = FileTimeFromCalendar(local);
}

std::optional<Clock::time_point> TimeOrNothing(const std::string& text, const std::string& where) {
  if (text.empty()) return std::nullopt;
  Clock::time_point when;
  if (!ParseIsoTime(text, &when)) Fail(where + ": '" + text + "' is not a time");
  return when;
}

// --- JSON: one object, or an array of them (a kinetic series) -----------

std::string JsonText(const nlohmann::json& object, const char* key, const std::string& where) {
  const auto it = object.find(key);
  if (it == object.end() || it->is_null()) return "";
  if (!it->is_string()) Fail(where + ": \"" + key + "\" is not text");
  return it->get<std::string>();
}

int32_t JsonNanometres(const nlohmann::json& object, const char* key, const std::string& where) {
  const auto it = object.find(key);
  if (it == object.end() || it->is_null()) return 0;
  if (!it->is_number_integer() || it->get<int64_t>() < 0 || it->get<int64_t>() > 9999) {
    Fail(where + ": \"" + key + "\" is not a wavelength in nm");
  }
  return it->get<int32_t>();
}

SavedPlate PlateFromJson(const nlohmann::json& object, const std::string& where) {
  if (!object.is_object()) Fail(where + ": not a plate object");
  SavedPlate saved;
  const auto values = object.find("values");
  if (values == object.end() || !values->is_array() || values->size() != kRows) {
    Fail(where + ": \"values\" must be 8 rows of 12 wells");
  }
  for (int row = 0; row < kRows; ++row) {
    const nlohmann::json& line = (*values)[row];
    if (!line.is_array() || line.size() != kColumns) {
      Fail(where + ": row " + static_cast<char>('A' + row) + " of \"values\" must hold 12 wells");
    }
    for (int column = 0; column < kColumns; ++column) {
      const nlohmann::json& well = line[column];
      int32_t& value = saved.plate.nValue[row * kColumns + column];
      if (well.is_null()) {
        value = kNoValue;
      } else if (well.is_number_integer() && std::abs(well.get<int64_t>()) <= 2000000000) {
        value = well.get<int32_t>();
      } else {
        Fail(where + ": well " + static_cast<char>('A' + row) + std::to_string(column + 1) +
             " is not a whole number of thousandths");
      }
    }
  }
  const auto overRange = object.find("overRange");
  if (overRange != object.end()) {
    if (!overRange->is_array()) Fail(where + ": \"overRange\" must be a list of wells");
    for (const nlohmann::json& name : *overRange) {
      const int well = name.is_string() ? PlateWellOfName(name.get<std::string>()) : -1;
      if (well < 0 || saved.plate.nValue[well] != kNoValue) {
        Fail(where + ": \"overRange\" names " + name.dump() + ", which is no well without a value");
      }
      saved.plate.bOverRange[well] = 1;
    }
  }
  saved.plate.nPrimary = JsonNanometres(object, "primary_nm", where);
  saved.plate.nReference = JsonNanometres(object, "reference_nm", where);
  saved.context.readerKind = JsonText(object, "reader", where);
  saved.context.readerId = JsonText(object, "reader_id", where);
  saved.context.started = TimeOrNothing(JsonText(object, "started", where), where);
  saved.context.completed = TimeOrNothing(JsonText(object, "completed", where), where);
  if (const auto elapsed = object.find("elapsedSeconds"); elapsed != object.end()) {
    if (!elapsed->is_number() || elapsed->get<double>() < 0) {
      Fail(where + ": \"elapsedSeconds\" is not a number of seconds");
    }
    saved.context.elapsedSeconds = elapsed->get<double>();
  }
  Finish(saved);
  return saved;
}

std::vector<SavedPlate> ReadJson(std::string_view text) {
  nlohmann::json document;
  try {
    document = nlohmann::json::parse(text);
  } catch (const nlohmann::json::parse_error& error) {
    std::string what = error.what();
    const size_t tag = what.find("] ");
    Fail("not valid JSON: " + (tag == std::string::npos ? what : what.substr(tag + 2)));
  }
  std::vector<SavedPlate> plates;
  if (document.is_array()) {
    for (size_t i = 0; i < document.size(); ++i) {
      plates.push_back(PlateFromJson(document[i], "read " + std::to_string(i + 1)));
    }
  } else {
    plates.push_back(PlateFromJson(document, "the plate"));
  }
  return plates;
}

// --- CSV: paragraphs of metadata and grids, apart by blank lines --------

bool IsGridHeader(const CsvLine& line) {
  return line.cells.size() >= 2 && line.cells[0].empty() && line.cells[1] == "1";
}

void ReadCsvGrid(const std::vector<CsvLine>& lines, size_t first, SavedPlate& saved) {
  const CsvLine& header = lines[first];
  for (int column = 1; column <= kColumns; ++column) {
    if (static_cast<int>(header.cells.size()) <= column ||
        header.cells[column] != std::to_string(column)) {
      Fail("line " + std::to_string(header.number) + ": the grid's header must be 1 to 12");
    }
  }
  for (int row = 0; row < kRows; ++row) {
    const size_t at = first + 1 + row;
    const char letter = static_cast<char>('A' + row);
    if (at >= lines.size() || lines[at].cells[0] != std::string(1, letter)) {
      Fail("line " +
           std::to_string(at < lines.size() ? lines[at].number : header.number + row + 1) +
           ": row " + letter + " of the grid is missing");
    }
    const CsvLine& line = lines[at];
    for (int column = 0; column < kColumns; ++column) {
      const size_t c = static_cast<size_t>(column) + 1;
      const std::string cell = c < line.cells.size() ? line.cells[c] : "";
      int32_t& value = saved.plate.nValue[row * kColumns + column];
      if (cell.empty()) {
        value = kNoValue;
        continue;
      }
      const auto parsed = Thousandths(cell);
      if (!parsed) {
        Fail("line " + std::to_string(line.number) + ": well " + letter +
             std::to_string(column + 1) + ": '" + cell + "' is not a number");
      }
      value = *parsed;
      saved.plate.bOverRange[row * kColumns + column] = 0;  // a value is no over-range well
    }
  }
}

void ReadCsvMetadata(const CsvLine& line, SavedPlate& saved) {
  const std::string& key = line.cells[0];
  const std::string value = line.cells.size() > 1 ? line.cells[1] : "";
  const std::string where = "line " + std::to_string(line.number);
  if (key == "reader") saved.context.readerKind = value;
  if (key == "reader id") saved.context.readerId = value;
  if (key == "primary [nm]") saved.plate.nPrimary = Nanometres(value, where);
  if (key == "reference [nm]") saved.plate.nReference = Nanometres(value, where);
  if (key == "started") saved.context.started = TimeOrNothing(value, where);
  if (key == "completed") saved.context.completed = TimeOrNothing(value, where);
  if (key == "over range") {
    size_t start = 0;
    while (start < value.size()) {
      size_t end = value.find(' ', start);
      if (end == std::string::npos) end = value.size();
      const std::string name = value.substr(start, end - start);
      const int well = PlateWellOfName(name);
      if (!name.empty() && well < 0) Fail(where + ": '" + name + "' is no well");
      if (well >= 0) saved.plate.bOverRange[well] = 1;
      start = end + 1;
    }
  }
}

std::vector<SavedPlate> ReadCsv(std::string_view text) {
  const std::vector<CsvLine> lines = SplitCsv(text).lines;
  std::vector<SavedPlate> plates;
  SavedPlate next;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (IsBlankLine(lines[i])) continue;
    if (IsGridHeader(lines[i])) {
      ReadCsvGrid(lines, i, next);
      Finish(next);
      plates.push_back(next);
      next = SavedPlate{};
      i += kRows;
    } else if (lines[i].cells[0] == "reader") {
      // A metadata block: its lines up to the blank line belong to the next grid.
      for (; i < lines.size() && !IsBlankLine(lines[i]); ++i) ReadCsvMetadata(lines[i], next);
    }
  }
  if (plates.empty()) Fail("no plate grid (a line ,1,2,...,12 and the rows A to H)");
  return plates;
}

// --- the clipboard text: 8 lines of 12 tab-separated wells, a header ---

std::vector<SavedPlate> ReadClipboardText(std::string_view text) {
  const std::vector<CsvLine> lines = SplitCsv(text, '\t').lines;
  std::vector<SavedPlate> plates;
  size_t i = 0;
  while (i < lines.size()) {
    if (IsBlankLine(lines[i])) {
      ++i;
      continue;
    }
    SavedPlate saved;
    for (int row = 0; row < kRows; ++row, ++i) {
      if (i >= lines.size() || lines[i].cells.size() != kColumns) {
        Fail("line " +
             std::to_string(i < lines.size() ? lines[i].number : lines.back().number + 1) +
             ": row " + static_cast<char>('A' + row) + " must hold 12 tab-separated wells");
      }
      for (int column = 0; column < kColumns; ++column) {
        const auto value = Thousandths(lines[i].cells[column]);
        if (!value) {
          Fail("line " + std::to_string(lines[i].number) + ": '" + lines[i].cells[column] +
               "' is not a number");
        }
        saved.plate.nValue[row * kColumns + column] = *value;
      }
    }
    // The header line names the filters: "Filter(s)  450 [nm] / 620 [nm] ...".
    if (i < lines.size() && lines[i].cells[0].rfind("Filter", 0) == 0) {
      const std::string& header = lines[i].cells[0];
      int32_t* filter = &saved.plate.nPrimary;
      for (size_t at = header.find(" [nm]"); at != std::string::npos && filter;
           at = header.find(" [nm]", at + 1)) {
        size_t start = at;
        while (start > 0 && header[start - 1] >= '0' && header[start - 1] <= '9') --start;
        *filter = Nanometres(header.substr(start, at - start), "the header line");
        filter = filter == &saved.plate.nPrimary ? &saved.plate.nReference : nullptr;
      }
      ++i;
    }
    Finish(saved);
    plates.push_back(saved);
  }
  if (plates.empty()) Fail("the file is empty");
  return plates;
}

}  // namespace

bool ParseIsoTime(const std::string& text, Clock::time_point* when) {
  int year, month, day, hour, minute, second, offsetHours = 0, offsetMinutes = 0, length = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &year, &month, &day, &hour, &minute,
                  &second, &length) != 6) {
    return false;
  }
  // A read of a kinetic series carries milliseconds (any fraction is taken).
  std::chrono::nanoseconds fraction{0};
  if (length < static_cast<int>(text.size()) && text[length] == '.') {
    long long scale = 100000000;
    int digits = 0;
    while (++length < static_cast<int>(text.size()) && text[length] >= '0' && text[length] <= '9') {
      fraction += std::chrono::nanoseconds((text[length] - '0') * scale);
      scale /= 10;
      ++digits;
    }
    if (digits == 0) return false;
  }
  const char zone = length < static_cast<int>(text.size()) ? text[length++] : '\0';
  if (zone == '+' || zone == '-') {
    int more = 0;
    if (std::sscanf(text.c_str() + length, "%2d:%2d%n", &offsetHours, &offsetMinutes, &more) != 2 ||
        length + more != static_cast<int>(text.size())) {
      return false;
    }
    if (zone == '-') offsetHours = -offsetHours, offsetMinutes = -offsetMinutes;
  } else if (zone != 'Z' || length != static_cast<int>(text.size())) {
    return false;
  }
  const std::chrono::year_month_day date{std::chrono::year(year), std::chrono::month(month),
                                         std::chrono::day(day)};
  if (!date.ok() || hour > 23 || minute > 59 || second > 60) return false;
  *when = std::chrono::sys_days(date) + std::chrono::hours(hour - offsetHours) +
          std::chrono::minutes(minute - offsetMinutes) + std::chrono::seconds(second) +
          std::chrono::duration_cast<Clock::duration>(fraction);
  return true;
}

SavedPlates ParseResultText(std::string_view text) {
  SavedPlates result;
  try {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) Fail("the file is empty");
    const size_t lineEnd = text.find_first_of("\r\n", first);
    const std::string_view firstLine = text.substr(first, lineEnd - first);
    if (text[first] == '{' || text[first] == '[') {
      result.plates = ReadJson(text);
    } else if (firstLine.find('\t') != std::string_view::npos) {
      result.plates = ReadClipboardText(text);
    } else {
      result.plates = ReadCsv(text);
    }
    result.ok = true;
  } catch (const ReadError& error) {
    result.error = error.text;
  }
  return result;
}

SavedPlates ReadResultFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    SavedPlates result;
    result.error = path + ": " + std::generic_category().message(errno);
    return result;
  }
  std::ostringstream text;
  text << in.rdbuf();
  SavedPlates result = ParseResultText(text.str());
  if (!result.ok) result.error = path + ": " + result.error;
  return result;
}
