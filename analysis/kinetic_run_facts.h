// What is known of a kinetic run beyond its reads, as its report tells it:
// the kinetic window and platovix-cli each fill it from the run they made.
#pragma once

#include <optional>
#include <string>

namespace analysis {

struct KineticRunFacts {
  std::string started;  // the first read's start, ISO 8601
  std::optional<double> intervalSeconds;
  int plannedReads = 0;     // 0: not known
  std::string recordUuid;   // the run's archive record, once kept
  std::string archiveName;  // the archive that holds it
  std::string status = "completed";
  std::string message;  // why an aborted or failed run ended
};

}  // namespace analysis
