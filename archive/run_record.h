// A kinetic run as one record: the reads it took (each stored on its own as
// it arrived), their times, the assay and the analysis of the series. Kept
// in the same hash chain as the reads, as an entry of kind "run", written
// once when the run ends, however it ends.
#pragma once

#include <string>
#include <vector>

#include "archive/plate_read.h"

namespace archive {

struct RunReadRef {
  std::string uuid;
  double elapsedSeconds = 0;  // from the first read's start, on the run's own clock
  std::string started;
  std::string completed;
};

struct RunRecord {
  std::string uuid;
  std::string plateId;
  std::string operatorName;
  std::string host;
  std::string readerFamily;
  std::string readerId;
  std::string started;    // the first read's start
  std::string completed;  // when the run ended
  int32_t plannedReads = 0;
  double intervalSeconds = 0;
  ReadStatus status = ReadStatus::Completed;
  std::string message;  // why an aborted or failed run ended
  std::string assayName;
  std::string assayJson;
  std::string analysisJson;       // the kinetic analysis of the completed reads
  std::vector<RunReadRef> reads;  // completed reads only, in order
};

// Canonical JSON, as ReadContent; false from ParseRun for anything else.
std::string RunContent(const RunRecord& run);
bool ParseRun(const std::string& content, RunRecord* run);

}  // namespace archive
