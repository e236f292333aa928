#include "ui/read_archiving.h"

#include <platovix_version.h>

#include <chrono>
#include <optional>
#include <utility>

#include "analysis_ui/assay_in_use.h"
#include "archive/archive_store.h"
#include "archive/read_analysis.h"
#include "archive_ui/desktop_archive.h"
#include "driver/foto.h"
#include "link/operator_message.h"
#include "link/port_setup.h"
#include "results/result_file.h"
#include "results/shared_state.h"

namespace {

using Clock = std::chrono::system_clock;

// Set while a measurement runs; only the GUI thread touches it.
std::optional<Clock::time_point> measureStarted;
std::optional<archive::PlateRead> lastKept;

archive::PlateRead RecordOfPlate(Clock::time_point started, int id) {
  archive::PlateRead read;
  read.uuid = archive::NewUuid();
  read.operatorName = archive::LoginName();
  read.host = archive::HostName();
  read.readerFamily = AppSettings.readerSubType == 0 ? "DigiScan" : "Jupiter / Expert";
  read.readerDevice = PortDevicePath(AppSettings.nComPort);
  read.primaryNm = PlateResult.nPrimary;
  read.referenceNm = PlateResult.nReference;
  read.started = FormatIsoLocalTime(started);
  read.completed = FormatIsoLocalTime(Clock::now());
  read.programVersion = PLATOVIX_VERSION;
  std::copy(std::begin(PlateResult.nValue), std::end(PlateResult.nValue), read.values.begin());
  std::copy(std::begin(PlateResult.bOverRange), std::end(PlateResult.bOverRange),
            read.overRange.begin());
  if (pDriver != nullptr) read.readerId = pDriver->szReaderId;
  if (id != kMeasureDone) {
    read.status = id == kUserAborted ? archive::ReadStatus::Aborted : archive::ReadStatus::Failed;
    read.message = (id == kReaderTimeout ? "Reader not responding. " : "") +
                   std::string(pDriver != nullptr ? pDriver->szMessage : "");
  }
  return read;
}

// With an assay in use, a completed read is stored with it and with its
// analysis and verdict as they stand now.
void AddAssayAnalysis(void* owner, archive::PlateRead* read) {
  if (read->status != archive::ReadStatus::Completed || AppSettings.AssayFile.empty()) return;
  const analysis::Assay* assay = AssayInUse(owner);
  if (assay == nullptr) return;
  archive::RecordAssay(*assay, read);
  archive::RecordAnalysis(assay->layout, assay->Options(), read);
}

}  // namespace

void NoteMeasureStarted() {
  measureStarted = Clock::now();
  lastKept.reset();
  SetLastArchivedRecord({});
}

bool MeasurementUnderway() {
  return measureStarted.has_value();
}

void ArchiveFinishedMeasurement(void* owner, int id) {
  if (!measureStarted) return;
  const Clock::time_point started = *std::exchange(measureStarted, std::nullopt);
  if (!DesktopArchiveEnabled()) return;
  archive::PlateRead read = RecordOfPlate(started, id);
  AddAssayAnalysis(owner, &read);
  archive::StoreConfig config = DesktopStoreConfig();
  config.forwardNow = false;  // the window goes on; the lab gets it in the background
  const archive::StoreOutcome outcome = archive::StoreRead(config, read);
  if (outcome.stored || outcome.spooled) lastKept = read;
  if ((outcome.stored || outcome.spooled) && read.status == archive::ReadStatus::Completed) {
    SetLastArchivedRecord({read.uuid, archive::ContentHash(read), read.plateId, read.operatorName});
  }
  ShowStoreOutcome(owner, outcome);
  if (outcome.stored) ForwardToLabLater(owner);
}

const archive::PlateRead* LastKeptRead() {
  return lastKept ? &*lastKept : nullptr;
}
