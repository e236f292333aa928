#include "history/history_source.h"

#include <algorithm>
#include <tuple>

#include "archive/archive_url.h"
#include "archive/postgres_archive.h"
#include "archive/sqlite_archive.h"
#include "results/shared_state.h"

namespace {

// More waiting reads than this are not listed one by one.
constexpr size_t kPendingLimit = 20000;

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

void CollectPending(archive::ChainedArchive& local, HistorySource* source) {
  std::vector<archive::StoredEntry> entries;
  std::string error;
  if (!local.Unforwarded(kPendingLimit, &entries, &error)) {
    source->notice += " The reads waiting for the lab archive cannot be found: " + error;
    return;
  }
  for (const archive::StoredEntry& entry : entries) {
    archive::EntryKeys keys;
    if (!archive::KeysOfContent(entry.content, &keys) || keys.kind != "read") continue;
    source->pendingUuids.insert(keys.uuid);
    source->pending.push_back({entry.seq,
                               keys.uuid,
                               keys.atUtc,
                               keys.plateId,
                               keys.assay,
                               keys.status,
                               keys.operatorName,
                               {},
                               keys.verdict,
                               keys.reader});
  }
  std::sort(source->pending.begin(), source->pending.end(),
            [](const archive::ReadSummary& a, const archive::ReadSummary& b) {
              return std::tie(a.atUtc, a.seq) > std::tie(b.atUtc, b.seq);
            });
}

}  // namespace

archive::ChainedArchive* HistorySource::HolderOf(const std::string& uuid) const {
  return local && pendingUuids.count(uuid) > 0 ? local.get() : listed.get();
}

HistorySource OpenHistorySource(const archive::StoreConfig& config) {
  HistorySource source;
  source.labSetUp = !config.labUrl.empty();
  const std::string localPath =
      config.localPath.empty() ? archive::DefaultArchivePath() : config.localPath;
  archive::SqliteOpenNotes notes;
  std::unique_ptr<archive::ChainedArchive> local =
      archive::OpenSqliteArchiveForReading(localPath, &notes);
  for (const std::string& message : notes.messages) source.notice += message + " ";
  if (!source.labSetUp) {
    if (!local) source.notice += "The archive cannot be opened: " + notes.writeProblem;
    source.listed = std::move(local);
    return source;
  }
  if (local) CollectPending(*local, &source);
  std::string note, error;
  bool reached = false;
  source.listed = archive::OpenPostgresArchiveForReading(config.labUrl, &note, &error, &reached);
  if (!note.empty()) source.notice += note + " ";
  if (source.listed) {
    source.local = std::move(local);
    source.pendingListed = true;
  } else {
    source.notice += std::string(reached ? "The lab archive cannot be read ("
                                         : "The lab archive cannot be reached (") +
                     error +
                     "): this computer's archive is shown, its reads not yet in the lab "
                     "archive marked.";
    source.listed = std::move(local);
  }
  return source;
}

archive::StoreConfig ArchiveConfigFromSettings() {
  archive::StoreConfig config;
  const archive::ArchiveKind kind = archive::KindOfArchive(AppSettings.ArchiveUrl);
  // A refused setting: the reads are kept in this computer's default archive.
  if (kind == archive::ArchiveKind::Invalid) return config;
  (kind == archive::ArchiveKind::Postgres ? config.labUrl : config.localPath) =
      AppSettings.ArchiveUrl;
  return config;
}

std::string SettingsRefusal() {
  std::string why;
  if (archive::KindOfArchive(AppSettings.ArchiveUrl, &why) != archive::ArchiveKind::Invalid)
    return {};
  return "The archive setting is refused (" + why + "): this computer's archive is shown.";
}

bool MatchesQuery(const archive::ReadSummary& read, const archive::ReadQuery& query) {
  const std::string since = archive::UtcKey(query.since);
  const std::string until = archive::UtcKey(query.until);
  if (!since.empty() && read.atUtc < since) return false;
  if (!until.empty() && read.atUtc >= until) return false;
  if (!query.assay.empty() && read.assay != query.assay) return false;
  if (!query.plateId.empty() && read.plateId != query.plateId) return false;
  if (query.verdict && read.verdict != *query.verdict) return false;
  if (query.text.empty()) return true;
  const std::string text = Lower(query.text);
  for (const std::string* field : {&read.plateId, &read.assay, &read.operatorName}) {
    if (Lower(*field).find(text) != std::string::npos) return true;
  }
  return Lower(read.uuid).rfind(text, 0) == 0;
}
