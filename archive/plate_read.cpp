#include "archive/plate_read.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>
#include <random>

#include "archive/sha256.h"
#include "results/well_names.h"

namespace archive {

using Json = nlohmann::json;

namespace {

Json ValuesJson(const std::array<int32_t, kWells>& values) {
  Json rows = Json::array();
  for (int row = 0; row < kRows; ++row) {
    Json line = Json::array();
    for (int column = 0; column < kColumns; ++column) {
      const int32_t value = values[row * kColumns + column];
      line.push_back(value == kNoValue ? Json(nullptr) : Json(value));
    }
    rows.push_back(line);
  }
  return rows;
}

bool ValuesFromJson(const Json& rows, std::array<int32_t, kWells>* values) {
  if (!rows.is_array() || rows.size() != kRows) return false;
  for (int row = 0; row < kRows; ++row) {
    const Json& line = rows[row];
    if (!line.is_array() || line.size() != kColumns) return false;
    for (int column = 0; column < kColumns; ++column) {
      const Json& cell = line[column];
      (*values)[row * kColumns + column] = cell.is_null() ? kNoValue : cell.get<int32_t>();
    }
  }
  return true;
}

// The wells read above the range by name; absent from a record without one,
// so older records keep their content.
Json OverRangeJson(const std::array<uint8_t, kWells>& overRange) {
  Json names = Json::array();
  for (int well = 0; well < kWells; ++well) {
    if (overRange[well] != 0) names.push_back(PlateWellName(well));
  }
  return names;
}

bool OverRangeFromJson(const Json& object, std::array<uint8_t, kWells>* overRange) {
  overRange->fill(0);
  const auto found = object.find("overRange");
  if (found == object.end()) return true;
  if (!found->is_array()) return false;
  for (const Json& name : *found) {
    const int well = name.is_string() ? PlateWellOfName(name.get<std::string>()) : -1;
    if (well < 0) return false;
    (*overRange)[well] = 1;
  }
  return true;
}

// The record's fields as the stored content names them.
struct TextField {
  const char* key;
  std::string PlateRead::*member;
};
constexpr TextField kTextFields[] = {
    {"uuid", &PlateRead::uuid},
    {"plateId", &PlateRead::plateId},
    {"operator", &PlateRead::operatorName},
    {"host", &PlateRead::host},
    {"readerFamily", &PlateRead::readerFamily},
    {"readerId", &PlateRead::readerId},
    {"readerDevice", &PlateRead::readerDevice},
    {"started", &PlateRead::started},
    {"completed", &PlateRead::completed},
    {"programVersion", &PlateRead::programVersion},
    {"message", &PlateRead::message},
    {"assayName", &PlateRead::assayName},
    {"assay", &PlateRead::assayJson},
    {"analysis", &PlateRead::analysisJson},
    {"verdict", &PlateRead::verdict},
    {"trace", &PlateRead::trace},
};
struct NumberField {
  const char* key;
  int32_t PlateRead::*member;
};
constexpr NumberField kNumberFields[] = {
    {"primaryNm", &PlateRead::primaryNm},
    {"referenceNm", &PlateRead::referenceNm},
};

ReadStatus StatusOf(const std::string& name) {
  if (name == "aborted") return ReadStatus::Aborted;
  if (name == "failed") return ReadStatus::Failed;
  return ReadStatus::Completed;
}

std::string Text(const Json& object, const char* key) {
  const auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

Json ParseObject(const std::string& content, const char* kind) {
  Json object = Json::parse(content, nullptr, false);
  if (!object.is_object() || Text(object, "kind") != kind) return Json();
  return object;
}

}  // namespace

const char* StatusName(ReadStatus status) {
  switch (status) {
    case ReadStatus::Aborted:
      return "aborted";
    case ReadStatus::Failed:
      return "failed";
    case ReadStatus::Completed:
      break;
  }
  return "completed";
}

std::string ReadContent(const PlateRead& read) {
  Json object = Json::object();
  object["kind"] = "read";
  for (const TextField& field : kTextFields) object[field.key] = read.*field.member;
  for (const NumberField& field : kNumberFields) object[field.key] = read.*field.member;
  object["values"] = ValuesJson(read.values);
  object["status"] = StatusName(read.status);
  Json overRange = OverRangeJson(read.overRange);
  if (!overRange.empty()) object["overRange"] = std::move(overRange);
  return object.dump();  // std::map keys: sorted, so the text is canonical
}

std::string AuditContent(const AuditEntry& entry) {
  const Json object = {{"kind", "audit"},  {"uuid", entry.uuid},    {"readUuid", entry.readUuid},
                       {"who", entry.who}, {"when", entry.when},    {"what", entry.what},
                       {"why", entry.why}, {"detail", entry.detail}};
  return object.dump();
}

bool ParseRead(const std::string& content, PlateRead* read) {
  const Json object = ParseObject(content, "read");
  if (object.is_null()) return false;
  try {
    for (const TextField& field : kTextFields) read->*field.member = Text(object, field.key);
    for (const NumberField& field : kNumberFields) read->*field.member = object.value(field.key, 0);
    read->status = StatusOf(Text(object, "status"));
    if (!OverRangeFromJson(object, &read->overRange)) return false;
    return ValuesFromJson(object.value("values", Json()), &read->values);
  } catch (const Json::exception&) {
    return false;
  }
}

bool ParseAudit(const std::string& content, AuditEntry* entry) {
  const Json object = ParseObject(content, "audit");
  if (object.is_null()) return false;
  entry->uuid = Text(object, "uuid");
  entry->readUuid = Text(object, "readUuid");
  entry->who = Text(object, "who");
  entry->when = Text(object, "when");
  entry->what = Text(object, "what");
  entry->why = Text(object, "why");
  entry->detail = Text(object, "detail");
  return true;
}

bool KeysOfContent(const std::string& content, EntryKeys* keys) {
  const Json object = Json::parse(content, nullptr, false);
  if (!object.is_object()) return false;
  keys->kind = Text(object, "kind");
  keys->uuid = Text(object, "uuid");
  if (keys->uuid.empty()) return false;
  if (keys->kind == "read") {
    keys->readUuid = keys->uuid;
    const std::string completed = Text(object, "completed");
    keys->atUtc = UtcKey(completed.empty() ? Text(object, "started") : completed);
    keys->plateId = Text(object, "plateId");
    keys->assay = Text(object, "assayName");
    keys->status = Text(object, "status");
    keys->operatorName = Text(object, "operator");
    keys->verdict = Text(object, "verdict");
    keys->reader = ReaderKey(Text(object, "readerFamily"), Text(object, "readerId"));
    return true;
  }
  if (keys->kind == "run") {
    // A run is found like a read, by its own UUID; the list of reads stays reads only.
    keys->readUuid = keys->uuid;
    const std::string completed = Text(object, "completed");
    keys->atUtc = UtcKey(completed.empty() ? Text(object, "started") : completed);
    keys->plateId = Text(object, "plateId");
    keys->assay = Text(object, "assayName");
    keys->status = Text(object, "status");
    keys->operatorName = Text(object, "operator");
    keys->verdict = "";
    keys->reader = ReaderKey(Text(object, "readerFamily"), Text(object, "readerId"));
    return true;
  }
  if (keys->kind == "audit") {
    keys->readUuid = Text(object, "readUuid");
    keys->atUtc = UtcKey(Text(object, "when"));
    keys->plateId = keys->assay = keys->status = "";
    keys->operatorName = Text(object, "who");
    keys->verdict = keys->reader = "";
    return true;
  }
  return false;
}

std::string ReaderKey(const std::string& family, const std::string& id) {
  const std::string joined = family + ' ' + id;
  const size_t first = joined.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return joined.substr(first, joined.find_last_not_of(' ') - first + 1);
}

std::string UtcKey(const std::string& isoTime) {
  std::tm time{};
  int consumed = 0;
  if (std::sscanf(isoTime.c_str(), "%4d-%2d-%2d%n", &time.tm_year, &time.tm_mon, &time.tm_mday,
                  &consumed) != 3 ||
      consumed != 10) {
    return {};
  }
  const char* rest = isoTime.c_str() + consumed;
  int offsetMinutes = 0;
  if (*rest == 'T' || *rest == ' ') {
    int used = 0;
    if (std::sscanf(rest + 1, "%2d:%2d:%2d%n", &time.tm_hour, &time.tm_min, &time.tm_sec, &used) <
        3) {
      return {};
    }
    rest += 1 + used;
    int hours = 0;
    int minutes = 0;
    if ((*rest == '+' || *rest == '-') && std::sscanf(rest + 1, "%2d:%2d", &hours, &minutes) == 2) {
      offsetMinutes = (*rest == '-' ? -1 : 1) * (hours * 60 + minutes);
    }
  }
  time.tm_year -= 1900;
  time.tm_mon -= 1;
  const std::time_t utc = timegm(&time) - static_cast<std::time_t>(offsetMinutes) * 60;
  std::tm out{};
  gmtime_r(&utc, &out);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &out);
  return text;
}

std::string NewUuid() {
  std::random_device source;  // the kernel's random numbers
  unsigned char bytes[16];
  for (unsigned char& byte : bytes) byte = static_cast<unsigned char>(source());
  bytes[6] = (bytes[6] & 0x0f) | 0x40;
  bytes[8] = (bytes[8] & 0x3f) | 0x80;
  char text[37];
  std::snprintf(text, sizeof text,
                "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return text;
}

std::string LoginName() {
  const passwd* user = getpwuid(geteuid());
  return user != nullptr && user->pw_name != nullptr ? user->pw_name : std::to_string(geteuid());
}

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

std::string ContentHash(const PlateRead& read) {
  return Sha256Hex(ReadContent(read));
}

}  // namespace archive
