#include "results/result_file.h"

#include <cstdio>
#include <ctime>
#include <string_view>

#include "results/file_time.h"
#include "results/result_text.h"
#include "results/well_names.h"

namespace {

using Clock = std::chrono::system_clock;

// ftMeasured holds local calendar time without a zone; the local zone rules
// of that moment turn it back into an instant.
std::optional<Clock::time_point> InstantFromFileTime(uint64_t fileTime) {
  if (fileTime == 0) return std::nullopt;
  std::tm calendar{};
  if (!FileTimeToCalendar(fileTime, &calendar)) return std::nullopt;
  calendar.tm_isdst = -1;
  const std::time_t seconds = std::mktime(&calendar);
  if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
  return Clock::from_time_t(seconds);
}

std::string WellText(int32_t value, bool decimalComma) {
  char text[32];
  FormatWellValue(value, decimalComma, text, sizeof text);
  return text;
}

// A CSV field in quotes when it holds the separator, a quote or a line break.
std::string CsvField(const std::string& text, char separator) {
  if (text.find_first_of(std::string{separator, '"', '\r', '\n'}) == std::string::npos) {
    return text;
  }
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string JsonTextOrNull(const std::string& text) {
  return text.empty() ? "null" : JsonString(text);
}

std::string JsonTimeOrNull(const std::optional<Clock::time_point>& when, bool milliseconds) {
  return when ? JsonString(FormatIsoLocalTime(*when, milliseconds)) : "null";
}

std::string JsonNames(const std::vector<std::string>& names) {
  std::string json = "[";
  for (size_t i = 0; i < names.size(); ++i) json += (i > 0 ? ", " : "") + JsonString(names[i]);
  return json + "]";
}

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : " ") + name;
  return text;
}

std::string NanometresOrEmpty(int32_t nm) {
  return nm == 0 ? std::string() : std::to_string(nm);
}

bool EndsWithJson(const std::string& path) {
  constexpr std::string_view suffix = ".json";
  if (path.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    const char c = path[path.size() - suffix.size() + i];
    if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != suffix[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<Clock::time_point> InstantOfFileTime(uint64_t fileTime) {
  return InstantFromFileTime(fileTime);
}

std::optional<Clock::time_point> ReadCompletionTime(const TPlateResult& plate,
                                                    const ResultContext& context) {
  return context.completed ? context.completed : InstantFromFileTime(plate.ftMeasured);
}

std::string FormatIsoLocalTime(Clock::time_point when, bool milliseconds) {
  const auto whole = std::chrono::floor<std::chrono::seconds>(when);
  const std::time_t seconds = Clock::to_time_t(whole);
  std::tm local{};
  localtime_r(&seconds, &local);
  const long offsetMinutes = local.tm_gmtoff / 60;
  const long absMinutes = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
  char fraction[8] = "";
  if (milliseconds) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when - whole).count();
    std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(ms));
  }
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%s%c%02ld:%02ld",
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                local.tm_sec, fraction, offsetMinutes < 0 ? '-' : '+', absMinutes / 60,
                absMinutes % 60);
  return text;
}

std::string BuildResultCsv(const TPlateResult& plate, const ResultContext& context,
                           bool decimalComma, bool withMetadata) {
  const char sep = decimalComma ? ';' : ',';
  std::string csv;
  if (withMetadata) {
    const auto completed = ReadCompletionTime(plate, context);
    const std::pair<const char*, std::string> rows[] = {
        {"reader", context.readerKind},
        {"reader id", context.readerId},
        {"primary [nm]", NanometresOrEmpty(plate.nPrimary)},
        {"reference [nm]", NanometresOrEmpty(plate.nReference)},
        {"started", context.started ? FormatIsoLocalTime(*context.started) : std::string()},
        {"completed", completed ? FormatIsoLocalTime(*completed) : std::string()},
    };
    for (const auto& [key, value] : rows) {
      csv += key;
      csv += sep;
      csv += CsvField(value, sep);
      csv += '\n';
    }
    // The grid leaves these wells empty like wells without a value.
    const std::vector<std::string> overRange = OverRangeWellNames(plate.bOverRange);
    if (!overRange.empty()) {
      csv += "over range";
      csv += sep;
      csv += Joined(overRange);
      csv += '\n';
    }
    const ReadRecordNotes& record = context.record;
    const auto row = [&csv, sep](std::initializer_list<std::string> cells) {
      bool first = true;
      for (const std::string& cell : cells) {
        if (!first) csv += sep;
        csv += CsvField(cell, sep);
        first = false;
      }
      csv += '\n';
    };
    if (!record.plateId.empty()) row({"plate id", record.plateId});
    if (!record.status.empty()) row({"status", record.status, record.statusMessage});
    for (const ExcludedWellNote& well : record.excluded) {
      row({"excluded well", PlateWellName(well.well), well.reason, well.who, well.when});
    }
    csv += '\n';
  }
  for (int column = 1; column <= kColumns; ++column) {
    csv += sep;
    csv += std::to_string(column);
  }
  csv += '\n';
  for (int row = 0; row < kRows; ++row) {
    csv += static_cast<char>('A' + row);
    for (int column = 0; column < kColumns; ++column) {
      csv += sep;
      const int32_t value = plate.nValue[row * kColumns + column];
      if (value != kNoValue) csv += WellText(value, decimalComma);
    }
    csv += '\n';
  }
  return csv;
}

std::string BuildResultJson(const TPlateResult& plate, const ResultContext& context) {
  std::string json = "{\n";
  json += "  \"reader\": " + JsonTextOrNull(context.readerKind) + ",\n";
  json += "  \"reader_id\": " + JsonTextOrNull(context.readerId) + ",\n";
  json += "  \"primary_nm\": " + (plate.nPrimary ? std::to_string(plate.nPrimary) : "null") + ",\n";
  json += "  \"reference_nm\": " + (plate.nReference ? std::to_string(plate.nReference) : "null") +
          ",\n";
  const bool series = context.elapsedSeconds.has_value();
  json += "  \"started\": " + JsonTimeOrNull(context.started, series) + ",\n";
  json += "  \"completed\": " + JsonTimeOrNull(ReadCompletionTime(plate, context), series) + ",\n";
  if (series) {
    char elapsed[32];
    std::snprintf(elapsed, sizeof elapsed, "%.3f", *context.elapsedSeconds);
    json += "  \"elapsedSeconds\": " + std::string(elapsed) + ",\n";
  }
  const ReadRecordNotes& record = context.record;
  if (!record.plateId.empty()) json += "  \"plate_id\": " + JsonString(record.plateId) + ",\n";
  if (!record.status.empty()) {
    json += "  \"status\": " + JsonString(record.status) + ",\n";
    json += "  \"status_message\": " + JsonTextOrNull(record.statusMessage) + ",\n";
  }
  if (!record.excluded.empty()) {
    json += "  \"excluded\": [";
    for (size_t i = 0; i < record.excluded.size(); ++i) {
      const ExcludedWellNote& well = record.excluded[i];
      json += std::string(i > 0 ? "," : "") +
              "\n    {\"well\": " + JsonString(PlateWellName(well.well)) +
              ", \"reason\": " + JsonString(well.reason) +
              ", \"who\": " + JsonTextOrNull(well.who) +
              ", \"when\": " + JsonTextOrNull(well.when) + "}";
    }
    json += "\n  ],\n";
  }
  json += "  \"values\": [\n";
  for (int row = 0; row < kRows; ++row) {
    json += "    [";
    for (int column = 0; column < kColumns; ++column) {
      if (column > 0) json += ", ";
      const int32_t value = plate.nValue[row * kColumns + column];
      json += value == kNoValue ? "null" : std::to_string(value);
    }
    json += row + 1 < kRows ? "],\n" : "]\n";
  }
  json += "  ]";
  // Which null wells read above the range and which had no value at all;
  // only said when there are any.
  const std::vector<std::string> overRange = OverRangeWellNames(plate.bOverRange);
  if (!overRange.empty()) {
    json += ",\n  \"overRange\": " + JsonNames(overRange);
    const std::vector<std::string> noValue = NoValueWellNames(plate);
    json += ",\n  \"noValue\": " + JsonNames(noValue);
  }
  json += "\n}\n";
  return json;
}

ResultFormat ResultFormatForPath(const std::string& path) {
  return EndsWithJson(path) ? ResultFormat::Json : ResultFormat::Csv;
}

bool SaveResultFile(const std::string& path, const TPlateResult& plate,
                    const ResultContext& context, bool decimalComma, std::string* error) {
  const std::string text = ResultFormatForPath(path) == ResultFormat::Json
                               ? BuildResultJson(plate, context)
                               : BuildResultCsv(plate, context, decimalComma);
  return WriteFileAtomically(path, text, error);
}
