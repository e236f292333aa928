#include "sila/sila_archive.h"

#include "archive/postgres_archive.h"
#include "results/shared_state.h"

namespace {

constexpr char kLogPrefix[] = "platovix-sila: ";

}  // namespace

std::optional<archive::StoreConfig> SilaArchiveConfig(const std::optional<std::string>& url,
                                                      bool noArchive) {
  if (noArchive || (AppSettings.ArchiveEnabled == 0 && !url)) return std::nullopt;
  archive::StoreConfig config;
  const std::string where = url.value_or(AppSettings.ArchiveUrl);
  if (archive::IsPostgresUrl(where)) {
    config.labUrl = where;
  } else {
    config.localPath = where;  // a SQLite file; empty: the default one
  }
  return config;
}

namespace {

// Stored here first; ForwardLater sends it on once the execution's response is out.
archive::StoreConfig KeptHereFirst(archive::StoreConfig config) {
  config.forwardNow = false;
  return config;
}

}  // namespace

SilaArchive::SilaArchive(std::optional<archive::StoreConfig> config, std::ostream& log)
    : config_(std::move(config)),
      log_(log),
      forwarder_([this](const archive::ForwardOutcome& done) {
        const std::string message = archive::LabWaitMessage(done);
        if (message.empty()) return;
        std::lock_guard<std::mutex> lock(logMutex_);
        log_ << kLogPrefix << "archive: " << message << '\n';
        log_.flush();
      }) {}

std::string SilaArchive::Store(const archive::PlateRead& read) {
  if (!config_) return {};
  return Logged(archive::StoreRead(KeptHereFirst(*config_), read)) ? read.uuid : std::string();
}

std::string SilaArchive::StoreRun(const archive::RunRecord& run) {
  if (!config_) return {};
  return Logged(archive::StoreRun(KeptHereFirst(*config_), run)) ? run.uuid : std::string();
}

bool SilaArchive::Logged(const archive::StoreOutcome& outcome) {
  {
    std::lock_guard<std::mutex> lock(logMutex_);
    for (const std::string& message : outcome.messages) {
      log_ << kLogPrefix << "archive: " << message << '\n';
    }
    if (!outcome.warning.empty()) log_ << kLogPrefix << "warning: " << outcome.warning << '\n';
    log_.flush();
  }
  return outcome.stored || outcome.spooled;
}

void SilaArchive::ForwardLater() {
  if (config_) forwarder_.Request(*config_);
}

bool SilaArchive::Recent(size_t count, std::vector<archive::ReadSummary>* reads,
                         std::string* error) {
  reads->clear();
  if (!config_) return true;
  std::vector<std::string> messages;
  const std::unique_ptr<archive::Archive> archive =
      archive::OpenArchiveForReading(*config_, &messages, error);
  if (!archive) return false;
  archive::ReadQuery query;
  query.limit = count;
  return archive->ListReads(query, false, reads, error);
}
