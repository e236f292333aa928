#include "archive/archive_store.h"

#include <exception>
#include <filesystem>
#include <utility>

#include "archive/archive_url.h"
#include "archive/postgres_archive.h"
#include "archive/spool.h"
#include "archive/sqlite_archive.h"
#include "archive/utf8.h"

namespace archive {

namespace {

constexpr size_t kForwardSlice = 500;

// Absolute, so that a spool is found again from any working folder.
std::string LocalPath(const StoreConfig& config) {
  const std::string path = config.localPath.empty() ? DefaultArchivePath() : config.localPath;
  if (KindOfArchive(path) != ArchiveKind::Sqlite) return path;  // refused when opened
  std::error_code ignored;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
  return absolute.empty() ? path : absolute.lexically_normal().string();
}

ForwardOutcome Forward(ChainedArchive& local, const std::string& url) {
  ForwardOutcome outcome;
  std::string note;
  std::unique_ptr<ChainedArchive> lab = OpenPostgresArchive(url, &note, &outcome.error);
  if (lab && lab->ReadOnly()) outcome.error = note;
  if (lab && !lab->ReadOnly()) {
    for (;;) {
      std::vector<StoredEntry> entries;
      if (!local.Unforwarded(kForwardSlice, &entries, &outcome.error)) break;
      bool failed = false;
      for (const StoredEntry& entry : entries) {
        // Sent before marked: a crash in between sends it again, and the lab
        // archive takes each UUID once.
        if (!lab->AppendContent(entry.content, &outcome.error) ||
            !local.MarkForwarded(entry.uuid, &outcome.error)) {
          failed = true;
          break;
        }
        ++outcome.sent;
      }
      if (failed) break;
      if (entries.size() < kForwardSlice) {
        outcome.ok = true;
        break;
      }
    }
  }
  std::string ignored;
  if (lab && !lab->ReadOnly()) lab->RecordHead(&ignored);
  local.CountUnforwarded(&outcome.pending, &ignored);
  return outcome;
}

void Store(const StoreConfig& config, const std::string& content, StoreOutcome& outcome) {
  const std::string path = LocalPath(config);
  SqliteOpenNotes notes;
  std::unique_ptr<ChainedArchive> local = OpenSqliteArchive(path, &notes);
  outcome.messages = notes.messages;
  std::string problem = notes.writeProblem;
  if (local && problem.empty()) {
    std::string error;
    if (notes.path != path)
      CarryToContinuation(path, *local, !config.labUrl.empty(), &outcome.messages);
    if (DrainSpools(notes.path, *local, &error, &outcome.messages) >= 0 &&
        local->AppendContent(content, &error)) {
      outcome.stored = true;
      outcome.archive = local->Name();
      if (!local->RecordHead(&error))
        outcome.messages.push_back("the chain's head could not be kept: " + error);
    } else {
      problem = "cannot write " + notes.path + ": " + error;
    }
  } else if (problem.empty()) {
    problem = "cannot open " + path;
  }
  if (!outcome.stored) {
    std::string error;
    outcome.spoolPath = SpoolEntry(notes.path.empty() ? path : notes.path, content, &error);
    outcome.spooled = !outcome.spoolPath.empty();
    const bool refused = KindOfArchive(path) != ArchiveKind::Sqlite;
    outcome.warning =
        outcome.spooled && refused
            ? "The archive setting is refused (" + problem + "). The read is kept in " +
                  outcome.spoolPath + "; correct the setting."
        : outcome.spooled
            ? "The archive is unavailable (" + problem + "). The read is kept in " +
                  outcome.spoolPath + " and goes into the archive at the next chance."
            : "The archive is unavailable (" + problem + ") and the read could not be kept (" +
                  error + "). Save the result yourself.";
    return;
  }
  if (!config.labUrl.empty() && config.forwardNow) {
    const ForwardOutcome forward = Forward(*local, config.labUrl);
    if (!forward.ok) outcome.messages.push_back(LabWaitMessage(forward));
  }
  local.reset();  // closed, so the file is as the next open will find it
  RememberSound(notes.path);
}

// Whatever goes wrong on the way (out of memory, a library's exception), the
// caller hears of it, and a read not yet in the archive still goes to the spool.
StoreOutcome GuardedStore(const StoreConfig& config, const std::string& content) {
  StoreOutcome outcome;
  std::string what;
  try {
    Store(config, content, outcome);
    return outcome;
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
    what = "unknown error";
  }
  if (outcome.stored) {
    outcome.messages.push_back("the archive failed after storing the read: " + what);
    return outcome;
  }
  std::string error = "no spool could be written";
  try {
    outcome.spoolPath = SpoolEntry(LocalPath(config), content, &error);
  } catch (...) {
    outcome.spoolPath.clear();
  }
  outcome.spooled = !outcome.spoolPath.empty();
  outcome.warning = outcome.spooled
                        ? "The archive failed (" + what + "). The read is kept in " +
                              outcome.spoolPath + " and goes into the archive at the next chance."
                        : "The archive failed (" + what + ") and the read could not be kept (" +
                              error + "). Save the result yourself.";
  return outcome;
}

// A record that cannot be written whole is kept bare: the wells and who,
// what and when, without what was computed from them.
PlateRead BareRead(const PlateRead& read, const std::string& why) {
  PlateRead bare;
  for (auto [to, from] : {std::pair{&bare.uuid, &read.uuid},
                          {&bare.plateId, &read.plateId},
                          {&bare.operatorName, &read.operatorName},
                          {&bare.host, &read.host},
                          {&bare.readerFamily, &read.readerFamily},
                          {&bare.readerId, &read.readerId},
                          {&bare.started, &read.started},
                          {&bare.completed, &read.completed}}) {
    *to = RepairedUtf8(*from);
  }
  bare.primaryNm = read.primaryNm;
  bare.referenceNm = read.referenceNm;
  bare.values = read.values;
  bare.status = read.status;
  bare.message = "kept without its assay and analysis: " + RepairedUtf8(why);
  return bare;
}

}  // namespace

StoreOutcome StoreRead(const StoreConfig& config, const PlateRead& read) {
  std::string content;
  try {
    content = ReadContent(WithValidText(read));
  } catch (const std::exception& e) {
    try {
      content = ReadContent(BareRead(read, e.what()));
    } catch (...) {
      StoreOutcome outcome;
      outcome.warning = std::string("The read could not be written down (") + e.what() +
                        ") and is in no archive. Save the result yourself.";
      return outcome;
    }
  }
  return GuardedStore(config, content);
}

StoreOutcome StoreAudit(const StoreConfig& config, const AuditEntry& entry) {
  std::string content;
  try {
    content = AuditContent(WithValidText(entry));
  } catch (const std::exception& e) {
    StoreOutcome outcome;
    outcome.warning = std::string("The change could not be written down: ") + e.what();
    return outcome;
  }
  return GuardedStore(config, content);
}

StoreOutcome StoreRun(const StoreConfig& config, const RunRecord& run) {
  std::string content;
  try {
    RunRecord valid = run;
    for (std::string* text :
         {&valid.plateId, &valid.operatorName, &valid.host, &valid.readerFamily, &valid.readerId,
          &valid.message, &valid.assayName, &valid.assayJson, &valid.analysisJson}) {
      *text = RepairedUtf8(*text);
    }
    content = RunContent(valid);
  } catch (const std::exception& e) {
    StoreOutcome outcome;
    outcome.warning = std::string("The run's record could not be written down (") + e.what() +
                      "); its reads are in the archive each on its own.";
    return outcome;
  }
  return GuardedStore(config, content);
}

ForwardOutcome ForwardToLab(const StoreConfig& config) {
  SqliteOpenNotes notes;
  const std::string path = LocalPath(config);
  std::unique_ptr<ChainedArchive> local = OpenSqliteArchive(path, &notes);
  if (!local) {
    ForwardOutcome outcome;
    outcome.error = notes.writeProblem;
    return outcome;
  }
  std::string error;
  if (notes.writeProblem.empty() && notes.path != path)
    CarryToContinuation(path, *local, true, &notes.messages);
  if (notes.writeProblem.empty()) {
    DrainSpools(notes.path, *local, &error);
    local->RecordHead(&error);
  }
  return Forward(*local, config.labUrl);
}

std::string LabWaitMessage(const ForwardOutcome& outcome) {
  if (outcome.ok) return {};
  return "the lab archive cannot be reached (" + outcome.error + "); " +
         std::to_string(outcome.pending) + " entries wait here and are forwarded when it is back";
}

std::unique_ptr<Archive> OpenArchiveForReading(const StoreConfig& config,
                                               std::vector<std::string>* messages,
                                               std::string* error, bool* labUnreachable) {
  if (labUnreachable != nullptr) *labUnreachable = false;
  if (!config.labUrl.empty()) {
    std::string note;
    bool reached = false;
    std::unique_ptr<ChainedArchive> lab =
        OpenPostgresArchiveForReading(config.labUrl, &note, error, &reached);
    if (!note.empty()) messages->push_back(note);
    if (labUnreachable != nullptr) *labUnreachable = !reached;
    return lab;
  }
  SqliteOpenNotes notes;
  std::unique_ptr<ChainedArchive> local = OpenSqliteArchiveForReading(LocalPath(config), &notes);
  *messages = notes.messages;
  if (!local) *error = notes.writeProblem;
  return local;
}

std::string ReadingArchiveName(const StoreConfig& config) {
  if (!config.labUrl.empty()) return ShownLocation(config.labUrl);
  const std::string path = LocalPath(config);
  std::error_code ignored;
  int last = 1;
  while (std::filesystem::exists(ContinuationPath(path, last + 1), ignored)) ++last;
  return last == 1 ? path : ContinuationPath(path, last);
}

}  // namespace archive
