#include "archive/sqlite_archive.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

#include "archive/archive_url.h"
#include "archive/continued_archive.h"
#include "archive/sqlite_connection.h"

namespace archive {

namespace {

const SqlDialect& SqliteDialect() {
  static const SqlDialect dialect{{EntryTablesSql("INTEGER") + R"sql(
CREATE TRIGGER entries_no_update BEFORE UPDATE ON entries
  BEGIN SELECT RAISE(ABORT, 'the archive is append-only'); END;
CREATE TRIGGER entries_no_delete BEFORE DELETE ON entries
  BEGIN SELECT RAISE(ABORT, 'the archive is append-only'); END;
CREATE TABLE forwarded (uuid TEXT PRIMARY KEY, at TEXT NOT NULL DEFAULT CURRENT_TIMESTAMP);
)sql",
                                   // Verdict and reader as columns, for the History's filters;
                                   // filled from the content, as KeysOfContent takes them.
                                   R"sql(
ALTER TABLE entries ADD COLUMN verdict TEXT NOT NULL DEFAULT '';
ALTER TABLE entries ADD COLUMN reader TEXT NOT NULL DEFAULT '';
-- The list's columns beside its order: a search by text reads this
-- index alone, not the reads' long content (about twice as fast).
CREATE INDEX entries_list ON entries (kind, at_utc, seq, plate_id, assay, operator, verdict,
  reader, uuid, status);
DROP TRIGGER entries_no_update;
UPDATE entries SET
  verdict = CASE WHEN json_type(content, '$.verdict') = 'text'
                 THEN json_extract(content, '$.verdict') ELSE '' END,
  reader = trim(CASE WHEN json_type(content, '$.readerFamily') = 'text'
                     THEN json_extract(content, '$.readerFamily') ELSE '' END || ' ' ||
                CASE WHEN json_type(content, '$.readerId') = 'text'
                     THEN json_extract(content, '$.readerId') ELSE '' END, ' ')
  WHERE kind = 'read';
CREATE TRIGGER entries_no_update BEFORE UPDATE ON entries
  BEGIN SELECT RAISE(ABORT, 'the archive is append-only'); END;
)sql",
                                   // The plate ID entered last for a read, beside the chain,
                                   // so that the list finds it by its current ID.
                                   R"sql(
CREATE TABLE plate_ids (read_uuid TEXT PRIMARY KEY, plate_id TEXT NOT NULL,
  seq INTEGER NOT NULL);
CREATE INDEX plate_ids_plate ON plate_ids (plate_id);
INSERT INTO plate_ids (read_uuid, plate_id, seq)
  SELECT a.read_uuid, json_extract(a.content, '$.detail'), a.seq FROM entries a
  WHERE a.kind = 'audit' AND json_extract(a.content, '$.what') = 'plate ID'
    AND json_type(a.content, '$.detail') = 'text'
    AND a.seq = (SELECT max(b.seq) FROM entries b
                 WHERE b.read_uuid = a.read_uuid AND b.kind = 'audit'
                   AND json_extract(b.content, '$.what') = 'plate ID'
                   AND json_type(b.content, '$.detail') = 'text');
)sql",
                                   // The server's clock is the lab archive's: nothing here.
                                   "SELECT 1"}};
  return dialect;
}

std::string DataHome() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/') return data;
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr && home[0] != '\0' ? home : ".") + "/.local/share";
}

void MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    mkdir(path.substr(0, slash).c_str(), 0700);
  }
}

// The file as this process last left it, sound: unchanged since, it need
// not be checked again (the whole check costs about half a second at
// 100 000 reads). Any other write, a damaging one too, changes the stamp.
struct FileStamp {
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
};

std::mutex stampsMutex;
std::map<std::string, FileStamp> soundStamps;

bool StampOf(const std::string& path, FileStamp* stamp) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return false;
  *stamp = {info.st_ino, info.st_size, info.st_mtim};
  return true;
}

bool KnownSound(const std::string& path) {
  FileStamp now;
  if (!StampOf(path, &now)) return false;
  const std::lock_guard<std::mutex> lock(stampsMutex);
  const auto found = soundStamps.find(path);
  return found != soundStamps.end() && found->second.inode == now.inode &&
         found->second.size == now.size && found->second.modified.tv_sec == now.modified.tv_sec &&
         found->second.modified.tv_nsec == now.modified.tv_nsec;
}

bool Exists(const std::string& path) {
  return access(path.c_str(), F_OK) == 0;
}

// archive.sqlite -> archive-2.sqlite, archive-3.sqlite, ...
std::string Sibling(const std::string& path, int n) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  const size_t cut =
      dot != std::string::npos && (slash == std::string::npos || dot > slash) ? dot : path.size();
  return path.substr(0, cut) + '-' + std::to_string(n) + path.substr(cut);
}

// A URL of no kind this program knows (postgresql:/host, https://...) is
// never made a file or a folder.
bool Refused(const std::string& path, SqliteOpenNotes* notes) {
  std::string why;
  if (KindOfArchive(path, &why) == ArchiveKind::Sqlite) return false;
  notes->writeProblem = why.empty() ? "the archive URL is not valid: " + ShownLocation(path) : why;
  return true;
}

// The switch to the write-ahead log needs the file to itself. Programs that
// open a new archive at the same moment each hold a shared lock and wait for
// the others' to go, which SQLite breaks at once with "database is locked"
// instead of waiting its busy time: the switch is tried again until then.
bool SwitchToWal(SqliteConnection& db) {
  constexpr auto kPatience = std::chrono::seconds(5);
  const auto giveUp = std::chrono::steady_clock::now() + kPatience;
  while (!db.Script("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL")) {
    if (db.Failure() != SqlFailure::Busy || std::chrono::steady_clock::now() > giveUp) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace

std::string DefaultArchivePath() {
  return DataHome() + "/platovix/archive.sqlite";
}

void RememberSound(const std::string& path) {
  FileStamp stamp;
  if (!StampOf(path, &stamp)) return;
  const std::lock_guard<std::mutex> lock(stampsMutex);
  soundStamps[path] = stamp;
}

std::string DamageOf(const std::string& path) {
  // Only what the check finds counts: a file that cannot be checked now
  // (no space, no rights, locked) is not damaged, and opening it for
  // writing says why it cannot be written.
  std::string error;
  std::unique_ptr<SqliteConnection> db = SqliteConnection::Open(path, true, &error);
  if (!db) return {};
  std::vector<SqlRow> rows;
  if (!db->Exec("PRAGMA quick_check", {}, &rows)) {
    return db->Failure() == SqlFailure::Corrupt ? db->Error() : std::string();
  }
  if (rows.size() == 1 && rows[0][0] == "ok") return {};
  return rows.empty() ? "no answer to the check" : rows[0][0];
}

std::unique_ptr<ChainedArchive> OpenSqliteArchive(const std::string& path, SqliteOpenNotes* notes) {
  if (Refused(path, notes)) return nullptr;
  MakeFolders(path);
  // A damaged file is never opened for writing: the next free name beside it is.
  std::string chosen = path;
  for (int n = 2; Exists(chosen) && !KnownSound(chosen); ++n) {
    const std::string damage = DamageOf(chosen);
    if (damage.empty()) break;
    std::string next = Sibling(path, n);
    notes->messages.push_back(chosen + " is damaged (" + damage + "); it is kept as it was, " +
                              "and reads go to " + next);
    chosen = std::move(next);
  }
  notes->path = chosen;

  std::string error;
  bool readOnly = false;
  std::unique_ptr<SqliteConnection> db = SqliteConnection::Open(chosen, false, &error);
  if (db && !SwitchToWal(*db)) {
    error = db->Error();
    db.reset();
  }
  if (!db) {
    notes->writeProblem = "cannot write " + chosen + ": " + error;
    notes->failure = SqlFailure::ReadOnly;
    readOnly = true;
    db = SqliteConnection::Open(chosen, true, &error);
    if (!db) return nullptr;
  }
  auto archive = std::make_unique<ChainedArchive>(std::move(db), readOnly);
  std::string note;
  if (!archive->Prepare(SqliteDialect(), &note, &error)) {
    if (notes->writeProblem.empty()) {
      notes->writeProblem = "cannot prepare " + chosen + ": " + error;
      notes->failure = archive->LastFailure();
    }
    return nullptr;
  }
  if (!note.empty()) {
    notes->messages.push_back(chosen + ": " + note);
    if (notes->writeProblem.empty()) notes->writeProblem = note;
  }
  archive->SetIdentity(chosen);
  archive->SetIntegrityCheck("PRAGMA integrity_check");
  return archive;
}

std::string ContinuationPath(const std::string& path, int n) {
  return Sibling(path, n);
}

namespace {

// One file, read-only; an older schema is brought up to date when migrate.
std::unique_ptr<ChainedArchive> OpenOneForReading(const std::string& path, SqliteOpenNotes* notes,
                                                  bool migrate) {
  std::string error;
  std::unique_ptr<SqliteConnection> db = SqliteConnection::Open(path, true, &error);
  if (!db) {
    notes->writeProblem = "cannot open " + path + ": " + error;
    return nullptr;
  }
  auto archive = std::make_unique<ChainedArchive>(std::move(db), true);
  std::string note;
  if (!archive->Prepare(SqliteDialect(), &note, &error)) {
    // An archive of an older version is brought up to date once.
    if (archive->OlderSchema() && migrate) {
      archive.reset();
      return OpenSqliteArchive(path, notes);
    }
    // An empty file (or another program's database) is no archive to read.
    notes->writeProblem = archive->NoSchema() ? path + " holds no Platovix archive (no schema)"
                                              : "cannot read " + path + ": " + error;
    return nullptr;
  }
  if (!note.empty()) notes->messages.push_back(path + ": " + note);
  archive->SetIdentity(path);
  archive->SetIntegrityCheck("PRAGMA integrity_check");
  return archive;
}

}  // namespace

std::unique_ptr<ChainedArchive> OpenSqliteArchiveForReading(const std::string& path,
                                                            SqliteOpenNotes* notes) {
  if (Refused(path, notes)) return nullptr;
  notes->path = path;
  // Reading never makes an archive: a mistyped path must not look like an empty one.
  if (!Exists(path)) {
    notes->writeProblem = "no archive at " + path;
    return nullptr;
  }
  // A continuation beside it: the file was found damaged by a store, and
  // the reads go on in the last one. What the earlier files still give is
  // shown with it.
  int last = 1;
  while (Exists(Sibling(path, last + 1))) ++last;
  if (last == 1) return OpenOneForReading(path, notes, true);
  const std::string current = Sibling(path, last);
  notes->path = current;
  std::unique_ptr<ChainedArchive> continuation = OpenOneForReading(current, notes, true);
  if (!continuation) return nullptr;
  std::vector<ContinuedArchive::Earlier> earlier;
  for (int n = 1; n < last; ++n) {
    const std::string file = n == 1 ? path : Sibling(path, n);
    SqliteOpenNotes ignored;
    earlier.push_back({file, OpenOneForReading(file, &ignored, false)});
  }
  notes->messages.push_back(path + " was found damaged; the reads continue in " + current +
                            ", shown with what the damaged file still holds");
  return std::make_unique<ContinuedArchive>(std::move(continuation), std::move(earlier));
}

}  // namespace archive
