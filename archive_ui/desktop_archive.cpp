#include "archive_ui/desktop_archive.h"

#include <QApplication>
#include <QMetaObject>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>

#include "archive/archive_url.h"
#include "archive/lab_forwarder.h"
#include "archive/postgres_archive.h"
#include "archive/sqlite_archive.h"
#include "link/operator_message.h"
#include "results/result_file.h"
#include "results/shared_state.h"

namespace {

// Only the GUI thread touches it.
ArchivedRecord lastRecord;

// The window that asked for the last forward; only compared, never followed
// unless it is still one of the application's widgets.
std::atomic<void*> forwardOwner{nullptr};

void ShowLabWait(const std::string& message) {
  void* owner = forwardOwner.load();
  const QWidgetList widgets = QApplication::allWidgets();
  const bool alive = std::any_of(widgets.begin(), widgets.end(),
                                 [owner](const QWidget* widget) { return widget == owner; });
  void* shown = alive ? owner : static_cast<void*>(QApplication::activeWindow());
  if (shown != nullptr) ShowMessageBox(shown, message, "Archive", kIconWarning);
}

archive::LabForwarder& Forwarder() {
  static archive::LabForwarder forwarder([](const archive::ForwardOutcome& outcome) {
    const std::string message = archive::LabWaitMessage(outcome);
    QCoreApplication* app = QCoreApplication::instance();
    if (message.empty() || app == nullptr) return;
    QMetaObject::invokeMethod(
        app, [message] { ShowLabWait(message); }, Qt::QueuedConnection);
  });
  return forwarder;
}

}  // namespace

archive::StoreConfig DesktopStoreConfig() {
  archive::StoreConfig config;
  const archive::ArchiveKind kind = archive::KindOfArchive(AppSettings.ArchiveUrl);
  if (kind == archive::ArchiveKind::Postgres) {
    config.labUrl = AppSettings.ArchiveUrl;
  } else if (kind == archive::ArchiveKind::Sqlite) {
    config.localPath = AppSettings.ArchiveUrl;
  }
  return config;
}

bool DesktopArchiveEnabled() {
  return AppSettings.ArchiveEnabled != 0;
}

std::string DesktopArchiveRefusal() {
  std::string why;
  if (DesktopArchiveEnabled() &&
      archive::KindOfArchive(AppSettings.ArchiveUrl, &why) == archive::ArchiveKind::Invalid) {
    return "The archive setting is refused (" + why +
           "). What is stored is kept in this computer's archive " + archive::DefaultArchivePath() +
           "; correct [Archive] Url= in the settings.";
  }
  return {};
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
  std::string text = DesktopArchiveRefusal();
  if (!outcome.warning.empty()) text += (text.empty() ? "" : "\n\n") + outcome.warning;
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
  archive::StoreConfig config = DesktopStoreConfig();
  config.forwardNow = false;
  archive::StoreOutcome outcome = archive::StoreAudit(config, entry);
  if (!outcome.stored && !outcome.spooled) {
    outcome.warning =
        "The change is not made: the archive could not record it.\n\n" + outcome.warning;
  }
  ShowStoreOutcome(owner, outcome);
  if (outcome.stored) ForwardToLabLater(owner);
  return outcome.stored || outcome.spooled;
}

void ForwardToLabLater(void* owner) {
  const archive::StoreConfig config = DesktopStoreConfig();
  if (config.labUrl.empty()) return;
  forwardOwner = owner;
  Forwarder().Request(config);
}

bool LabForwardingIdle() {
  return Forwarder().Idle();
}
