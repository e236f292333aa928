#include "archive/run_record.h"

#include <nlohmann/json.hpp>

namespace archive {

using Json = nlohmann::json;

namespace {

struct TextField {
  const char* key;
  std::string RunRecord::*member;
};
constexpr TextField kTextFields[] = {
    {"uuid", &RunRecord::uuid},
    {"plateId", &RunRecord::plateId},
    {"operator", &RunRecord::operatorName},
    {"host", &RunRecord::host},
    {"readerFamily", &RunRecord::readerFamily},
    {"readerId", &RunRecord::readerId},
    {"started", &RunRecord::started},
    {"completed", &RunRecord::completed},
    {"message", &RunRecord::message},
    {"assayName", &RunRecord::assayName},
    {"assay", &RunRecord::assayJson},
    {"analysis", &RunRecord::analysisJson},
};

std::string Text(const Json& object, const char* key) {
  const auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

}  // namespace

std::string RunContent(const RunRecord& run) {
  Json object = Json::object();
  object["kind"] = "run";
  for (const TextField& field : kTextFields) object[field.key] = run.*field.member;
  object["plannedReads"] = run.plannedReads;
  object["intervalSeconds"] = run.intervalSeconds;
  object["status"] = StatusName(run.status);
  Json reads = Json::array();
  for (const RunReadRef& read : run.reads) {
    reads.push_back({{"uuid", read.uuid},
                     {"elapsedSeconds", read.elapsedSeconds},
                     {"started", read.started},
                     {"completed", read.completed}});
  }
  object["reads"] = std::move(reads);
  return object.dump();  // sorted keys: canonical
}

bool ParseRun(const std::string& content, RunRecord* run) {
  const Json object = Json::parse(content, nullptr, false);
  if (!object.is_object() || Text(object, "kind") != "run") return false;
  try {
    for (const TextField& field : kTextFields) run->*field.member = Text(object, field.key);
    run->plannedReads = object.value("plannedReads", 0);
    run->intervalSeconds = object.value("intervalSeconds", 0.0);
    const std::string status = Text(object, "status");
    run->status = status == "aborted"  ? ReadStatus::Aborted
                  : status == "failed" ? ReadStatus::Failed
                                       : ReadStatus::Completed;
    run->reads.clear();
    const auto reads = object.find("reads");
    if (reads == object.end() || !reads->is_array()) return false;
    for (const Json& read : *reads) {
      if (!read.is_object()) return false;
      run->reads.push_back({Text(read, "uuid"), read.value("elapsedSeconds", 0.0),
                            Text(read, "started"), Text(read, "completed")});
    }
    return true;
  } catch (const Json::exception&) {
    return false;
  }
}

}  // namespace archive
