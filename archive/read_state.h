// What a read is now: the stored record with every later change of its
// audit trail applied. Every list, window, export and report of an archived
// read shows this state and nothing else.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "archive/plate_read.h"
#include "results/result_file.h"

namespace archive {

// One change of the audit trail as it stands in the state: who, when, why.
struct StateNote {
  std::string who;
  std::string when;  // ISO 8601 with offset
  std::string why;
  std::string text;  // the comment's text; for an exclusion the well's name
};

struct ExcludedWellState {
  int well = 0;  // 0..95, A1..H12
  StateNote note;
};

struct ReadState {
  PlateRead read;       // as stored, never changed
  std::string plateId;  // the latest one entered, else the record's own
  ReadStatus status = ReadStatus::Completed;
  std::vector<ExcludedWellState> excluded;  // in the order they were excluded
  std::vector<StateNote> comments;
  // The analysis in force: the last re-analysis' model, weighting and
  // analysis JSON, else the record's own (model and weighting empty).
  std::string model;
  std::string weighting;
  std::string analysisJson;
  std::string verdict;
};

// Folds the audit trail (oldest first) into the read.
ReadState CurrentState(const PlateRead& read, const std::vector<AuditEntry>& trail);

// What the read's files say of it: plate ID, status (when not completed)
// and the excluded wells.
ReadRecordNotes RecordNotesOf(const ReadState& state);

}  // namespace archive
