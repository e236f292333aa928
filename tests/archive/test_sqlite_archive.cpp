// The embedded archive on real SQLite files: the chain and its audit trail,
// tampering, several programs writing at once, an archive that cannot be
// written, a damaged file and a newer schema.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <tuple>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "archive/archive_store.h"
#include "archive/spool.h"
#include "archive/sqlite_archive.h"
#include "archive/sqlite_connection.h"
#include "cli/cli_run.h"
#include "tests/archive/archive_samples.h"

using namespace archive;
using namespace archive_samples;

namespace {

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<PlateRead> AllReads(Archive& archive) {
  std::vector<PlateRead> reads;
  std::string error;
  EXPECT_TRUE(archive.FindReads({}, &reads, &error)) << error;
  return reads;
}

std::unique_ptr<ChainedArchive> Open(const std::string& path, SqliteOpenNotes* notes = nullptr) {
  SqliteOpenNotes local;
  return OpenSqliteArchive(path, notes != nullptr ? notes : &local);
}

void Sql(const std::string& path, const std::string& script) {
  std::string error;
  auto db = SqliteConnection::Open(path, false, &error);
  ASSERT_TRUE(db) << error;
  ASSERT_TRUE(db->Script(script)) << db->Error();
}

ReadQuery Query(const std::string& since, const std::string& assay, const std::string& plateId,
                size_t offset = 0, size_t limit = 0) {
  ReadQuery query;
  query.since = since;
  query.assay = assay;
  query.plateId = plateId;
  query.offset = offset;
  query.limit = limit;
  return query;
}

int RunCliCode(const std::vector<std::string>& args, std::string* out, std::string* err) {
  std::ostringstream o, e;
  const int code = RunCli(args, CliIo{o, e, false, -1});
  *out = o.str();
  *err = e.str();
  return code;
}

}  // namespace

TEST(SqliteArchive, AuditTrailFindingAndATamperedRowFoundByVerify) {
  TempFolder folder;
  const std::string path = folder.path() + "/archive.sqlite";
  auto archive = Open(path);
  ASSERT_TRUE(archive);
  std::string error;
  std::vector<PlateRead> stored;
  for (int n = 0; n < 4; ++n) {
    stored.push_back(SampleRead(n));
    ASSERT_TRUE(archive->AppendRead(stored.back(), &error)) << error;
  }
  ASSERT_TRUE(archive->AppendRead(stored[1], &error));  // the same UUID again: kept once
  const AuditEntry plateId{NewUuid(),  stored[1].uuid,
                           "lab",      "2026-12-08T09:00:00+01:00",
                           "plate ID", "typed in after the read",
                           "P-1b"};
  const AuditEntry comment{
      NewUuid(), stored[1].uuid,         "qa", "2026-12-08T10:00:00+01:00", "comment",
      "review",  "edge wells evaporated"};
  ASSERT_TRUE(archive->AppendAudit(plateId, &error)) << error;
  ASSERT_TRUE(archive->AppendAudit(comment, &error)) << error;

  // The read comes back exactly as stored, with its changes beside it.
  PlateRead back;
  ASSERT_TRUE(archive->GetRead(stored[1].uuid, &back, &error));
  EXPECT_EQ(ReadContent(back), ReadContent(stored[1]));
  std::vector<AuditEntry> trail;
  ASSERT_TRUE(archive->AuditTrail(stored[1].uuid, &trail, &error));
  ASSERT_EQ(trail.size(), 2u);
  EXPECT_EQ(trail[0].who, "lab");
  EXPECT_EQ(trail[0].why, "typed in after the read");
  EXPECT_EQ(trail[1].detail, "edge wells evaporated");
  EXPECT_FALSE(archive->GetRead(NewUuid(), &back, &error));
  EXPECT_TRUE(error.empty());

  // Finding: filters, newest first, paging.
  EXPECT_EQ(AllReads(*archive).size(), 4u);
  std::vector<PlateRead> found;
  ASSERT_TRUE(archive->FindReads(Query("", "ELISA", ""), &found, &error));
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].uuid, stored[2].uuid);
  found.clear();
  ASSERT_TRUE(archive->FindReads(Query("", "", "P-3"), &found, &error));
  ASSERT_EQ(found.size(), 1u);
  found.clear();
  ASSERT_TRUE(archive->FindReads(Query("2026-12-07T15:20:12Z", "", "", 1, 2), &found, &error));
  ASSERT_EQ(found.size(), 1u);  // P-2 and P-3 are that late; the second of them
  EXPECT_EQ(found[0].uuid, stored[2].uuid);
  found.clear();
  ASSERT_TRUE(archive->FindReads(Query("2026-12-08", "", ""), &found, &error));
  EXPECT_TRUE(found.empty());
  // Page after page by the last one seen: all four, newest first, once.
  std::vector<ReadSummary> pages;
  ReadQuery page;
  page.limit = 3;
  ASSERT_TRUE(archive->ListReads(page, false, &pages, &error));
  page.afterAtUtc = pages.back().atUtc;
  page.afterSeq = pages.back().seq;
  ASSERT_TRUE(archive->ListReads(page, true, &pages, &error)) << error;
  ASSERT_EQ(pages.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(pages[i].uuid, stored[3 - i].uuid);
  EXPECT_EQ(pages[3].content, ReadContent(stored[0]));
  // Streamed one at a time, the same summaries in the same order.
  std::vector<ReadSummary> streamed;
  ASSERT_TRUE(archive->EachRead(
      {}, true, [&](const ReadSummary& read) { streamed.push_back(read); }, &error));
  ASSERT_EQ(streamed.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(std::tie(streamed[i].seq, streamed[i].uuid, streamed[i].atUtc, streamed[i].plateId,
                       streamed[i].assay, streamed[i].status),
              std::tie(pages[i].seq, pages[i].uuid, pages[i].atUtc, pages[i].plateId,
                       pages[i].assay, pages[i].status));
    EXPECT_EQ(streamed[i].content, ReadContent(stored[3 - i]));
  }

  VerifyReport report = archive->Verify();
  EXPECT_TRUE(report.ok) << report.problem;
  EXPECT_EQ(report.entries, 6);

  // The program's own SQL cannot change a stored entry.
  EXPECT_FALSE(archive->Connection().Script("UPDATE entries SET plate_id = 'X' WHERE seq = 2"));
  EXPECT_NE(archive->Connection().Error().find("append-only"), std::string::npos);
  archive.reset();

  // Behind the program's back: the trigger dropped, a value changed.
  std::string out, err;
  EXPECT_EQ(RunCliCode({"archive", "verify", "--archive", path}, &out, &err), 0) << err;
  EXPECT_NE(out.find("6 entries"), std::string::npos);
  Sql(path,
      "DROP TRIGGER entries_no_update; UPDATE entries SET content = replace(content, "
      "'\"plateId\":\"P-2\"', '\"plateId\":\"P-9\"') WHERE seq = 3");
  EXPECT_EQ(RunCliCode({"archive", "verify", "--archive", path}, &out, &err), 1);
  EXPECT_NE(err.find("entry 3 (" + stored[2].uuid + ")"), std::string::npos) << err;
  // Hash recomputed by the tamperer: the next entry's link still tells.
  Sql(path, "UPDATE entries SET hash = 'f' || substr(hash, 2) WHERE seq = 3");
  report = Open(path)->Verify();
  EXPECT_EQ(report.firstBadSeq, 3);
  // A column changed without its content is found as well.
  TempFolder second;
  auto other = Open(second.path() + "/archive.sqlite");
  ASSERT_TRUE(other->AppendRead(SampleRead(1), &error));
  other.reset();
  Sql(second.path() + "/archive.sqlite",
      "DROP TRIGGER entries_no_update; UPDATE entries SET status = 'failed'");
  report = Open(second.path() + "/archive.sqlite")->Verify();
  EXPECT_EQ(report.firstBadSeq, 1);
  EXPECT_NE(report.problem.find("columns"), std::string::npos);
}

TEST(SqliteArchive, SeveralProgramsWritingAtOnceLoseAndDoubleNothing) {
  TempFolder folder;
  const StoreConfig config{folder.path() + "/archive.sqlite", ""};
  constexpr int kWriters = 4;
  constexpr int kReadsEach = 40;
  std::vector<pid_t> children;
  for (int writer = 0; writer < kWriters; ++writer) {
    const pid_t child = fork();
    if (child == 0) {
      int failures = 0;
      for (int n = 0; n < kReadsEach; ++n) {
        PlateRead read = SampleRead(writer * 1000 + n);
        // Each store is one program's whole way: open, check, append, close.
        const StoreOutcome outcome = StoreRead(config, read);
        if (!outcome.stored) fprintf(stderr, "read %d: %s\n", n, outcome.warning.c_str());
        failures += outcome.stored ? 0 : 1;
        if (n % 10 == 0) failures += StoreRead(config, read).stored ? 0 : 1;  // a retry
      }
      _exit(failures);
    }
    children.push_back(child);
  }
  for (const pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  auto archive = Open(config.localPath);
  const std::vector<PlateRead> reads = AllReads(*archive);
  std::set<std::string> plates;
  for (const PlateRead& read : reads) plates.insert(read.plateId);
  EXPECT_EQ(reads.size(), size_t(kWriters * kReadsEach));
  EXPECT_EQ(plates.size(), size_t(kWriters * kReadsEach));
  EXPECT_TRUE(archive->Verify().ok);
  std::vector<SqlRow> rows;
  ASSERT_TRUE(archive->Connection().Exec("PRAGMA journal_mode", {}, &rows));
  EXPECT_EQ(rows[0][0], "wal");
}

// Disk full (a file-size limit makes every write past a few kB fail as on a
// full disk) and a read-only folder: the read waits in the spool with one
// warning and is in the archive after the next store.
TEST(SqliteArchive, UnwritableArchiveKeepsTheReadInTheSpoolUntilTheNextChance) {
  TempFolder folder;
  const std::string path = folder.path() + "/db/archive.sqlite";
  const StoreConfig config{path, ""};
  setenv("XDG_STATE_HOME", (folder.path() + "/state").c_str(), 1);
  ASSERT_TRUE(StoreRead(config, SampleRead(0)).stored);
  const PlateRead whileFull = SampleRead(1);
  const PlateRead whileReadOnly = SampleRead(2);

  EXPECT_EQ(InChild([&] {
              signal(SIGXFSZ, SIG_IGN);
              const rlimit limit{6000, 6000};
              setrlimit(RLIMIT_FSIZE, &limit);
              const StoreOutcome outcome = StoreRead(config, whileFull);
              const bool beside = outcome.spoolPath == path + ".spool";
              return !outcome.stored && outcome.spooled && beside &&
                             outcome.warning.find("kept in") != std::string::npos
                         ? 0
                         : 1;
            }),
            0);

  // The state folder is where a spool goes when the archive's folder is closed.
  mkdir((folder.path() + "/state").c_str(), 0777);
  chmod((folder.path() + "/state").c_str(), 0777);
  // made by the first store, for the chain's witness
  chmod((folder.path() + "/state/platovix").c_str(), 0777);
  chmod(folder.path().c_str(), 0755);
  chmod((folder.path() + "/db").c_str(), 0555);
  EXPECT_EQ(InChild([&] {
              // root writes anywhere: as nobody the folder is really read-only
              if (geteuid() == 0 && setresuid(65534, 65534, 65534) != 0) return 2;
              const StoreOutcome outcome = StoreRead(config, whileReadOnly);
              return !outcome.stored && outcome.spooled &&
                             outcome.spoolPath.find("/state/") != std::string::npos
                         ? 0
                         : 1;
            }),
            0);
  chmod((folder.path() + "/db").c_str(), 0755);

  const PlateRead next = SampleRead(3);
  const StoreOutcome outcome = StoreRead(config, next);
  EXPECT_TRUE(outcome.stored);
  EXPECT_TRUE(outcome.warning.empty());
  auto archive = Open(path);
  const std::vector<PlateRead> reads = AllReads(*archive);
  ASSERT_EQ(reads.size(), 4u);
  std::set<std::string> uuids;
  for (const PlateRead& read : reads) uuids.insert(read.uuid);
  EXPECT_TRUE(uuids.count(whileFull.uuid) && uuids.count(whileReadOnly.uuid));
  for (const std::string& spool : SpoolPaths(path)) EXPECT_EQ(FileBytes(spool), "");
  EXPECT_TRUE(archive->Verify().ok);
  unsetenv("XDG_STATE_HOME");
}

TEST(SqliteArchive, DamagedFileIsKeptAsItWasAndANewArchiveStartsBesideIt) {
  TempFolder folder;
  const std::string path = folder.path() + "/archive.sqlite";
  {
    auto archive = Open(path);
    std::string error;
    for (int n = 0; n < 60; ++n) ASSERT_TRUE(archive->AppendRead(SampleRead(n), &error));
  }
  // Found sound by this process, which then skips the check while the file
  // stays as it left it...
  ASSERT_TRUE(StoreRead({path, ""}, SampleRead(99)).stored);
  // ...until a page in the middle is overwritten, as a failing disk would.
  {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(4096 * 5);
    const std::string garbage(4096, '\x5a');
    file.write(garbage.data(), garbage.size());
  }
  const std::string damaged = FileBytes(path);
  EXPECT_FALSE(DamageOf(path).empty());

  const StoreConfig config{path, ""};
  const PlateRead read = SampleRead(100);
  StoreOutcome outcome = StoreRead(config, read);
  EXPECT_TRUE(outcome.stored);
  ASSERT_FALSE(outcome.messages.empty());
  EXPECT_NE(outcome.messages[0].find("damaged"), std::string::npos);
  EXPECT_NE(outcome.messages[0].find("archive-2.sqlite"), std::string::npos);
  EXPECT_EQ(FileBytes(path), damaged);
  // The next program finds the damage again and writes beside it too.
  EXPECT_TRUE(StoreRead(config, SampleRead(101)).stored);
  EXPECT_EQ(FileBytes(path), damaged);
  EXPECT_EQ(AllReads(*Open(folder.path() + "/archive-2.sqlite")).size(), 2u);

  // Not a database at all.
  const std::string text = folder.path() + "/text.sqlite";
  std::ofstream(text) << "not an archive\n";
  EXPECT_TRUE(StoreRead({text, ""}, read).stored);
  EXPECT_EQ(FileBytes(text), "not an archive\n");
}

TEST(SqliteArchive, NewerSchemaIsOpenedReadOnlyWithAMessage) {
  TempFolder folder;
  const std::string path = folder.path() + "/archive.sqlite";
  const PlateRead read = SampleRead(1);
  ASSERT_TRUE(StoreRead({path, ""}, read).stored);
  Sql(path, "INSERT INTO schema_version (version) VALUES (" + std::to_string(kSchemaVersion + 1) +
                "); PRAGMA wal_checkpoint(TRUNCATE)");
  const std::string before = FileBytes(path);

  SqliteOpenNotes notes;
  auto archive = Open(path, &notes);
  ASSERT_TRUE(archive);
  EXPECT_TRUE(archive->ReadOnly());
  ASSERT_EQ(notes.messages.size(), 1u);
  EXPECT_NE(notes.messages[0].find("newer"), std::string::npos);
  ASSERT_EQ(AllReads(*archive).size(), 1u);
  std::string error;
  EXPECT_FALSE(archive->AppendRead(SampleRead(2), &error));
  archive.reset();

  // A read made meanwhile waits in the spool; the file stays as it was.
  const StoreOutcome outcome = StoreRead({path, ""}, SampleRead(3));
  EXPECT_FALSE(outcome.stored);
  EXPECT_TRUE(outcome.spooled);
  EXPECT_NE(outcome.warning.find("newer"), std::string::npos);
  EXPECT_EQ(FileBytes(path), before);
}
