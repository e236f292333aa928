#include "ui/read_archiving.h"

#include <platovix_version.h>

#include <chrono>
#include <optional>
#include <utility>

#include "archive/archive_store.h"
#include "archive/postgres_archive.h"
#include "driver/foto.h"
#include "link/operator_message.h"
#include "link/port_setup.h"
#include "results/result_file.h"
#include "results/shared_state.h"

namespace {

using Clock = std::chrono::system_clock;

// Set while a measurement runs; only the GUI thread touches it.
std::optional<Clock::time_point> measureStarted;

archive::StoreConfig ConfigFromSettings() {
  archive::StoreConfig config;
  if (archive::IsPostgresUrl(AppSettings.ArchiveUrl)) {
    config.labUrl = AppSettings.ArchiveUrl;
  } else {
    config.localPath = AppSettings.ArchiveUrl;
  }
  return config;
}

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
  if (pDriver != nullptr) read.readerId = pDriver->szReaderId;
  if (id != kMeasureDone) {
    read.status = id == kUserAborted ? archive::ReadStatus::Aborted : archive::ReadStatus::Failed;
    read.message = (id == kReaderTimeout ? "Reader not responding. " : "") +
                   std::string(pDriver != nullptr ? pDriver->szMessage : "");
  }
  return read;
}

}  // namespace

void NoteMeasureStarted() {
  measureStarted = Clock::now();
}

void ArchiveFinishedMeasurement(void* owner, int id) {
  if (!measureStarted) return;
  const Clock::time_point started = *std::exchange(measureStarted, std::nullopt);
  if (AppSettings.ArchiveEnabled == 0) return;
  const archive::StoreOutcome outcome =
      archive::StoreRead(ConfigFromSettings(), RecordOfPlate(started, id));
  if (owner == nullptr) return;
  std::string text = outcome.warning;
  for (const std::string& message : outcome.messages) {
    text += (text.empty() ? "" : "\n\n") + message;
  }
  if (!text.empty()) ShowMessageBox(owner, text, "Archive", kIconWarning);
}
