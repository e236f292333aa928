// Verdict and reader columns (schema version 2): an archive of version 1
// migrates, on SQLite and PostgreSQL, keeps its chain, and is then found by
// free text, a time range and the verdict.
#include <gtest/gtest.h>

#include <set>

#include "archive/pg_connection.h"
#include "archive/postgres_archive.h"
#include "archive/sqlite_archive.h"
#include "archive/sqlite_connection.h"
#include "tests/archive/archive_samples.h"
#include "tests/support/lab_server.h"

using namespace archive;
using namespace archive_samples;

namespace {

// Reads 0..5: verdicts Pass, Fail, none in turn; read 4 by "Dr. Mo%", from
// a Jupiter; completed one second apart.
std::vector<PlateRead> StoreSamples(Archive& archive) {
  std::vector<PlateRead> reads;
  for (int n = 0; n < 6; ++n) {
    PlateRead read = SampleRead(n);
    read.verdict = n % 3 == 0 ? "Pass" : n % 3 == 1 ? "Fail" : "";
    if (n == 4) {
      read.operatorName = "Dr. Mo%";
      read.readerFamily = "Jupiter";
      read.readerId = "";
    }
    std::string error;
    EXPECT_TRUE(archive.AppendRead(read, &error)) << error;
    reads.push_back(read);
  }
  AuditEntry audit{NewUuid(), reads[0].uuid, "lab", "2026-12-07T17:00:00+01:00", "comment", "", ""};
  std::string error;
  EXPECT_TRUE(archive.AppendAudit(audit, &error)) << error;
  return reads;
}

std::set<std::string> Plates(Archive& archive, const ReadQuery& query) {
  std::vector<ReadSummary> found;
  std::string error;
  EXPECT_TRUE(archive.ListReads(query, false, &found, &error)) << error;
  std::set<std::string> plates;
  for (const ReadSummary& summary : found) plates.insert(summary.plateId);
  return plates;
}

void ExpectMigratedAndFound(Archive& archive, const std::vector<PlateRead>& reads) {
  const VerifyReport report = archive.Verify();
  EXPECT_TRUE(report.ok) << report.problem;
  EXPECT_EQ(report.entries, 7);

  std::vector<ReadSummary> all;
  std::string error;
  ASSERT_TRUE(archive.ListReads({}, false, &all, &error)) << error;
  ASSERT_EQ(all.size(), 6u);
  EXPECT_EQ(all[0].plateId, "P-5");  // newest first
  EXPECT_EQ(all[0].verdict, "");
  EXPECT_EQ(all[0].reader, "DigiScan 12345");
  EXPECT_EQ(all[1].reader, "Jupiter");
  EXPECT_EQ(all[2].verdict, "Pass");

  ReadQuery query;
  query.text = "p-3";
  EXPECT_EQ(Plates(archive, query), std::set<std::string>{"P-3"});
  query.text = "mo%";  // literal, any case
  EXPECT_EQ(Plates(archive, query), std::set<std::string>{"P-4"});
  query.text = "%";
  EXPECT_EQ(Plates(archive, query), std::set<std::string>{"P-4"});
  query.text = reads[2].uuid.substr(0, 8);
  EXPECT_EQ(Plates(archive, query), std::set<std::string>{"P-2"});
  query.text = "elisa";
  EXPECT_EQ(Plates(archive, query), (std::set<std::string>{"P-0", "P-2", "P-4"}));

  query = {};
  query.verdict = "Fail";
  EXPECT_EQ(Plates(archive, query), (std::set<std::string>{"P-1", "P-4"}));
  query.verdict = "";
  EXPECT_EQ(Plates(archive, query), (std::set<std::string>{"P-2", "P-5"}));

  query = {};  // completed 16:20:10 .. 16:20:15 local, +01:00
  query.since = "2026-12-07T15:20:12Z";
  query.until = "2026-12-07T16:20:14+01:00";
  EXPECT_EQ(Plates(archive, query), (std::set<std::string>{"P-2", "P-3"}));
}

}  // namespace

TEST(ArchiveFilters, SqliteVersionOneMigratesAndIsFoundByTextTimeAndVerdict) {
  TempFolder folder;
  const std::string path = folder.path() + "/archive.sqlite";
  std::vector<PlateRead> reads;
  {
    SqliteOpenNotes notes;
    auto archive = OpenSqliteArchive(path, &notes);
    ASSERT_TRUE(archive);
    reads = StoreSamples(*archive);
  }
  {  // back to what version 1 wrote
    std::string error;
    auto db = SqliteConnection::Open(path, false, &error);
    ASSERT_TRUE(db) << error;
    ASSERT_TRUE(
        db->Script("DROP INDEX entries_list;"
                   "ALTER TABLE entries DROP COLUMN verdict;"
                   "ALTER TABLE entries DROP COLUMN reader;"
                   "DROP TABLE plate_ids;"
                   "DELETE FROM schema_version WHERE version >= 2"))
        << db->Error();
  }
  SqliteOpenNotes notes;
  auto archive = OpenSqliteArchiveForReading(path, &notes);
  ASSERT_TRUE(archive) << notes.writeProblem;
  ExpectMigratedAndFound(*archive, reads);
}

TEST(ArchiveFilters, PostgresVersionOneMigratesAndIsFoundByTextTimeAndVerdict) {
  PLATOVIX_LAB_SERVER(server);
  std::string note, error;
  std::vector<PlateRead> reads;
  {
    auto archive = OpenPostgresArchive(server.url(), &note, &error);
    ASSERT_TRUE(archive) << error;
    reads = StoreSamples(*archive);
    ASSERT_TRUE(
        archive->Connection().Script("DROP INDEX entries_list;"
                                     "ALTER TABLE entries DROP COLUMN verdict;"
                                     "ALTER TABLE entries DROP COLUMN reader;"
                                     "DROP TABLE plate_ids;"
                                     "DELETE FROM schema_version WHERE version >= 2"))
        << archive->Connection().Error();
  }
  auto archive = OpenPostgresArchive(server.url(), &note, &error);
  ASSERT_TRUE(archive) << error;
  ExpectMigratedAndFound(*archive, reads);
}

// Free text finds every letter in any case, the same in SQLite and on a
// PostgreSQL server (the test's is a "C" database, whose own lower() folds
// only A to Z);
// a page that skips reads without a limit works in both.
TEST(ArchiveFilters, TextIsFoundInAnyCaseOfAnyLetterInBothDatabases) {
  const auto expectFound = [](Archive& archive) {
    const char* plates[] = {"Prüfung-ÄÖ", "ЖИДКОСТЬ-7", "plain-1"};
    for (int n = 0; n < 3; ++n) {
      PlateRead read = SampleRead(n);
      read.plateId = plates[n];
      if (n == 1) read.operatorName = "Ørsted";
      std::string error;
      ASSERT_TRUE(archive.AppendRead(read, &error)) << error;
    }
    ReadQuery query;
    for (const char* text : {"PRÜFUNG-äö", "prüfung", "ÄÖ"}) {
      query.text = text;
      EXPECT_EQ(Plates(archive, query), std::set<std::string>{"Prüfung-ÄÖ"}) << text;
    }
    for (const char* text : {"жидкость", "ørSTED", "ØRSTED"}) {
      query.text = text;
      EXPECT_EQ(Plates(archive, query), std::set<std::string>{"ЖИДКОСТЬ-7"}) << text;
    }
    query.text = "PLAIN";
    EXPECT_EQ(Plates(archive, query), std::set<std::string>{"plain-1"});
    query = {};
    query.offset = 1;  // newest first: all but plain-1
    EXPECT_EQ(Plates(archive, query), (std::set<std::string>{"Prüfung-ÄÖ", "ЖИДКОСТЬ-7"}));
  };
  TempFolder folder;
  SqliteOpenNotes notes;
  auto local = OpenSqliteArchive(folder.path() + "/archive.sqlite", &notes);
  ASSERT_TRUE(local) << notes.writeProblem;
  expectFound(*local);

  PLATOVIX_LAB_SERVER(server);
  std::string note, error;
  auto lab = OpenPostgresArchive(server.url(), &note, &error);
  ASSERT_TRUE(lab) << error;
  expectFound(*lab);
}
