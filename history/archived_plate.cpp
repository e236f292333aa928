#include "history/archived_plate.h"

#include <algorithm>

#include "report/report_input.h"
#include "results/file_time.h"
#include "results/result_file_reader.h"

namespace {

std::optional<std::chrono::system_clock::time_point> InstantOf(const std::string& iso) {
  std::chrono::system_clock::time_point when;
  if (iso.empty() || !ParseIsoTime(iso, &when)) return std::nullopt;
  return when;
}

uint64_t LocalFileTime(const std::optional<std::chrono::system_clock::time_point>& when) {
  if (!when) return 0;
  const std::time_t seconds = std::chrono::system_clock::to_time_t(*when);
  std::tm local{};
  localtime_r(&seconds, &local);
  return FileTimeFromCalendar(local);
}

}  // namespace

void PlateOfRead(const archive::PlateRead& read, TPlateResult* plate, ResultContext* context) {
  *plate = {};
  std::copy(read.values.begin(), read.values.end(), plate->nValue);
  std::copy(read.overRange.begin(), read.overRange.end(), plate->bOverRange);
  plate->nPrimary = read.primaryNm;
  plate->nReference = read.referenceNm;
  plate->bValid = 1;
  *context = {read.readerFamily, read.readerId, InstantOf(read.started), InstantOf(read.completed)};
  plate->ftMeasured = LocalFileTime(context->completed);
  plate->ftStarted = LocalFileTime(context->started);
}

ShownPlate ShownPlateOfRead(const archive::PlateRead& read) {
  ShownPlate shown;
  PlateOfRead(read, &shown.plate, &shown.context);
  const std::string name = !read.plateId.empty() ? read.plateId : read.uuid.substr(0, 8);
  shown.fileName = QString::fromStdString("plate-" + name + ".csv");
  shown.plateId = read.plateId;
  shown.operatorName = read.operatorName;
  shown.archiveUuid = read.uuid;
  shown.archiveHash = archive::ContentHash(read);
  if (!read.assayJson.empty()) {
    analysis::AssayParse parsed = analysis::ParseAssay(read.assayJson);
    if (parsed.ok) shown.assay = std::move(parsed.assay);
  }
  return shown;
}

ShownPlate ShownPlateOfState(const archive::ReadState& state) {
  archive::PlateRead read = state.read;
  read.plateId = state.plateId;  // names the file too
  ShownPlate shown = ShownPlateOfRead(read);
  shown.archiveHash = archive::ContentHash(state.read);
  shown.status = archive::StatusName(state.status);
  shown.statusMessage = state.read.message;
  shown.excluded = archive::RecordNotesOf(state).excluded;
  for (const archive::StateNote& note : state.comments) shown.comments.push_back(CommentNote(note));
  shown.model = state.model;
  shown.weighting = state.weighting;
  return shown;
}
