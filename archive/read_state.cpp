#include "archive/read_state.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace archive {

namespace {

// "D7" -> 42; -1 for text that names no well.
int WellIndex(const std::string& name) {
  if (name.size() < 2 || name.size() > 3) return -1;
  const char row =
      static_cast<char>(name[0] >= 'a' && name[0] <= 'h' ? name[0] - 'a' + 'A' : name[0]);
  if (row < 'A' || row > 'H') return -1;
  int column = 0;
  for (size_t i = 1; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return -1;
    column = column * 10 + (name[i] - '0');
  }
  if (column < 1 || column > 12) return -1;
  return (row - 'A') * 12 + column - 1;
}

void TakeReanalysis(const AuditEntry& entry, ReadState* state) {
  const nlohmann::json detail = nlohmann::json::parse(entry.detail, nullptr, false);
  if (!detail.is_object()) return;
  const auto text = [&detail](const char* key) {
    const auto found = detail.find(key);
    return found != detail.end() && found->is_string() ? found->get<std::string>() : std::string();
  };
  state->model = text("model");
  state->weighting = text("weighting");
  state->analysisJson.clear();
  state->verdict.clear();
  const auto analysis = detail.find("analysis");
  if (analysis == detail.end() || !analysis->is_object()) return;
  state->analysisJson = analysis->dump();
  const auto qc = analysis->find("qc");
  if (qc != analysis->end() && qc->is_object()) {
    const auto verdict = qc->find("verdict");
    if (verdict != qc->end() && verdict->is_string()) state->verdict = verdict->get<std::string>();
  }
}

}  // namespace

ReadState CurrentState(const PlateRead& read, const std::vector<AuditEntry>& trail) {
  ReadState state;
  state.read = read;
  state.plateId = read.plateId;
  state.status = read.status;
  state.analysisJson = read.analysisJson;
  state.verdict = read.verdict;
  for (const AuditEntry& entry : trail) {
    const StateNote note{entry.who, entry.when, entry.why, entry.detail};
    if (entry.what == "plate ID") {
      state.plateId = entry.detail;
    } else if (entry.what == "comment") {
      state.comments.push_back(note);
    } else if (entry.what == "well excluded" || entry.what == "well included") {
      const int well = WellIndex(entry.detail);
      if (well < 0) continue;
      std::erase_if(state.excluded, [well](const ExcludedWellState& e) { return e.well == well; });
      if (entry.what == "well excluded") state.excluded.push_back({well, note});
    } else if (entry.what == "re-analysis") {
      TakeReanalysis(entry, &state);
    }
  }
  return state;
}

ReadRecordNotes RecordNotesOf(const ReadState& state) {
  ReadRecordNotes notes;
  notes.plateId = state.plateId;
  if (state.status != ReadStatus::Completed) {
    notes.status = StatusName(state.status);
    notes.statusMessage = state.read.message;
  }
  for (const ExcludedWellState& e : state.excluded) {
    notes.excluded.push_back({e.well, e.note.why, e.note.who, e.note.when});
  }
  return notes;
}

}  // namespace archive
