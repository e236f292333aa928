#include "archive_ui/desktop_archive.h"

#include <chrono>

#include "archive/postgres_archive.h"
#include "link/operator_message.h"
#include "results/result_file.h"
#include "results/shared_state.h"

namespace {

// Only the GUI thread touches it.
ArchivedRecord lastRecord;

}  // namespace

archive::StoreConfig DesktopStoreConfig() {
  archive::StoreConfig config;
  if (archive::IsPostgresUrl(AppSettings.ArchiveUrl)) {
    config.labUrl = AppSettings.ArchiveUrl;
  } else {
    config.localPath = AppSettings.ArchiveUrl;
  }
  return config;
}

bool DesktopArchiveEnabled() {
  return AppSettings.ArchiveEnabled != 0;
}

const ArchivedRecord& LastArchivedRecord() {
  return lastRecord;
}

void SetLastArchivedRecord(const ArchivedRecord& record) {
  lastRecord = record;
}

void NoteLastArchivedPlateId(const std::string& uuid, const std::string& plateId) {
  if (!uuid.empty() && lastRecord.uuid == uuid) lastRecord.plateId = plateId;
}

void ShowStoreOutcome(void* owner, const archive::StoreOutcome& outcome) {
  if (owner == nullptr) return;
  std::string text = outcome.warning;
  for (const std::string& message : outcome.messages) {
    text += (text.empty() ? "" : "\n\n") + message;
  }
  if (!text.empty()) ShowMessageBox(owner, text, "Archive", kIconWarning);
}

bool StoreDesktopAudit(void* owner, const std::string& readUuid, const std::string& what,
                       const std::string& why, const std::string& detail) {
  archive::AuditEntry entry;
  entry.uuid = archive::NewUuid();
  entry.readUuid = readUuid;
  entry.who = archive::LoginName();
  entry.when = FormatIsoLocalTime(std::chrono::system_clock::now());
  entry.what = what;
  entry.why = why;
  entry.detail = detail;
  const archive::StoreOutcome outcome = archive::StoreAudit(DesktopStoreConfig(), entry);
  ShowStoreOutcome(owner, outcome);
  return outcome.stored || outcome.spooled;
}
