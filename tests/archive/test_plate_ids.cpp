// A plate ID entered after the read: the list shows it, finds it by text and
// by ID (the replaced one no longer finds the read), platovix-cli's
// "archive list --plate-id" too, verify checks what is kept for it, and an
// archive of version 2 gets it by migration; on SQLite and PostgreSQL alike.
// And the fold of a read and its trail into what the read is now.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>

#include "archive/postgres_archive.h"
#include "archive/read_state.h"
#include "archive/sqlite_archive.h"
#include "tests/archive/archive_samples.h"
#include "tests/support/cli_in_process.h"
#include "tests/support/lab_server.h"

using namespace archive;
using namespace archive_samples;

namespace {

// Reads P-0, P-1, P-2; P-0 becomes LATER-1 and then LATER-2, P-1 takes the
// ID P-0 gave up.
std::vector<PlateRead> StoreRenamed(Archive& archive) {
  std::vector<PlateRead> reads;
  std::string error;
  for (int n = 0; n < 3; ++n) {
    reads.push_back(SampleRead(n));
    EXPECT_TRUE(archive.AppendRead(reads.back(), &error)) << error;
  }
  int minute = 0;
  const auto enter = [&](const PlateRead& read, const std::string& id) {
    const AuditEntry entry{NewUuid(),  read.uuid,
                           "lab",      "2026-12-07T17:0" + std::to_string(minute++) + ":00+01:00",
                           "plate ID", "entered after the read",
                           id};
    EXPECT_TRUE(archive.AppendAudit(entry, &error)) << error;
  };
  enter(reads[0], "LATER-1");
  const AuditEntry comment{
      NewUuid(), reads[0].uuid,       "lab", "2026-12-07T17:05:00+01:00", "comment",
      "comment", "LATER-9 is the box"};
  EXPECT_TRUE(archive.AppendAudit(comment, &error)) << error;
  enter(reads[0], "LATER-2");
  enter(reads[1], "P-0");
  return reads;
}

std::set<std::string> Found(Archive& archive, const ReadQuery& query) {
  std::vector<ReadSummary> found;
  std::string error;
  EXPECT_TRUE(archive.ListReads(query, false, &found, &error)) << error;
  std::set<std::string> uuids;
  for (const ReadSummary& read : found) uuids.insert(read.uuid + " " + read.plateId);
  return uuids;
}

void ExpectFoundByCurrentId(Archive& archive, const std::vector<PlateRead>& reads,
                            const std::string& where) {
  const VerifyReport report = archive.Verify();
  EXPECT_TRUE(report.ok) << report.problem;
  EXPECT_EQ(Found(archive, {}),
            (std::set<std::string>{reads[0].uuid + " LATER-2", reads[1].uuid + " P-0",
                                   reads[2].uuid + " P-2"}));
  ReadQuery query;
  query.plateId = "LATER-2";
  EXPECT_EQ(Found(archive, query), std::set<std::string>{reads[0].uuid + " LATER-2"});
  query.plateId = "LATER-1";
  EXPECT_TRUE(Found(archive, query).empty());
  query.plateId = "P-0";
  EXPECT_EQ(Found(archive, query), std::set<std::string>{reads[1].uuid + " P-0"});
  query = {};
  query.text = "later";  // neither the replaced ID nor a comment's text counts
  EXPECT_EQ(Found(archive, query), std::set<std::string>{reads[0].uuid + " LATER-2"});
  query.text = "p-";
  EXPECT_EQ(Found(archive, query),
            (std::set<std::string>{reads[1].uuid + " P-0", reads[2].uuid + " P-2"}));

  const CliRun list = RunCliWith({"archive", "list", "--archive", where, "--plate-id", "LATER-2"});
  EXPECT_EQ(list.code, 0) << list.err;
  EXPECT_NE(list.out.find(reads[0].uuid + "\tLATER-2\t"), std::string::npos) << list.out;
  EXPECT_EQ(list.out.find(reads[1].uuid), std::string::npos) << list.out;
}

// Back to version 2: no plate_ids yet.
const char kVersionTwo[] = "DROP TABLE plate_ids; DELETE FROM schema_version WHERE version >= 3";

// plate_ids changed behind the program's back: verify names the entry.
void ExpectTamperingFound(ChainedArchive& archive, const std::string& entryUuid) {
  ASSERT_TRUE(
      archive.Connection().Script("UPDATE plate_ids SET plate_id = 'FORGED' "
                                  "WHERE plate_id = 'LATER-2'"))
      << archive.Connection().Error();
  const VerifyReport report = archive.Verify();
  EXPECT_FALSE(report.ok);
  EXPECT_EQ(report.firstBadUuid, entryUuid);
  EXPECT_NE(report.problem.find("plate ID"), std::string::npos) << report.problem;
}

std::string LaterTwoEntry(Archive& archive, const PlateRead& read) {
  std::vector<AuditEntry> trail;
  std::string error;
  EXPECT_TRUE(archive.AuditTrail(read.uuid, &trail, &error)) << error;
  return trail.empty() ? "" : trail.back().uuid;
}

}  // namespace

TEST(PlateIds, SqliteFindsIdsEnteredLaterAndMigratesVersionTwo) {
  TempFolder folder;
  const std::string path = folder.path() + "/archive.sqlite";
  std::vector<PlateRead> reads;
  {
    SqliteOpenNotes notes;
    auto archive = OpenSqliteArchive(path, &notes);
    ASSERT_TRUE(archive) << notes.writeProblem;
    reads = StoreRenamed(*archive);
    ExpectFoundByCurrentId(*archive, reads, path);
    ASSERT_TRUE(archive->Connection().Script(kVersionTwo)) << archive->Connection().Error();
  }
  SqliteOpenNotes notes;
  auto archive = OpenSqliteArchiveForReading(path, &notes);
  ASSERT_TRUE(archive) << notes.writeProblem;
  ExpectFoundByCurrentId(*archive, reads, path);
  ExpectTamperingFound(*archive, LaterTwoEntry(*archive, reads[0]));
}

TEST(PlateIds, PostgresFindsIdsEnteredLaterAndMigratesVersionTwo) {
  PLATOVIX_LAB_SERVER(server);
  std::string note, error;
  std::vector<PlateRead> reads;
  {
    auto archive = OpenPostgresArchive(server.url(), &note, &error);
    ASSERT_TRUE(archive) << error;
    reads = StoreRenamed(*archive);
    ExpectFoundByCurrentId(*archive, reads, server.url());
    ASSERT_TRUE(archive->Connection().Script(kVersionTwo)) << archive->Connection().Error();
  }
  auto archive = OpenPostgresArchive(server.url(), &note, &error);
  ASSERT_TRUE(archive) << error;
  ExpectFoundByCurrentId(*archive, reads, server.url());
  ExpectTamperingFound(*archive, LaterTwoEntry(*archive, reads[0]));
}

TEST(ReadStateFold, TheTrailMakesTheReadWhatItIsNow) {
  PlateRead read = SampleRead(1);
  read.analysisJson = R"({"qc":{"verdict":"Pass"}})";
  read.verdict = "Pass";
  read.status = ReadStatus::Aborted;
  const auto entry = [&read](const char* what, const char* why, const std::string& detail) {
    return AuditEntry{NewUuid(), read.uuid, "lab", "2026-12-07T17:00:00+01:00", what, why, detail};
  };
  const std::vector<AuditEntry> trail{
      entry("plate ID", "entered after the read", "X-1"),
      entry("well excluded", "bubble", "D7"),
      entry("well excluded", "scratch", "a1"),
      entry("comment", "comment", "first"),
      entry("well included", "checked", "D7"),
      entry("well excluded", "no such well", "Z99"),
      entry("re-analysis", "5PL fits better",
            R"({"model":"5pl","weighting":"1/y","analysis":{"qc":{"verdict":"Fail"}}})"),
      entry("well excluded", "bubble after all", "D7"),
      entry("plate ID", "misread", "X-2"),
      entry("comment", "comment", "second"),
  };
  const ReadState state = CurrentState(read, trail);
  EXPECT_EQ(state.read.plateId, "P-1");  // the stored record stays as it was
  EXPECT_EQ(state.plateId, "X-2");
  EXPECT_EQ(state.status, ReadStatus::Aborted);
  ASSERT_EQ(state.excluded.size(), 2u);
  EXPECT_EQ(state.excluded[0].well, 0);
  EXPECT_EQ(state.excluded[0].note.why, "scratch");
  EXPECT_EQ(state.excluded[1].well, 42);
  EXPECT_EQ(state.excluded[1].note.why, "bubble after all");
  EXPECT_EQ(state.excluded[1].note.who, "lab");
  ASSERT_EQ(state.comments.size(), 2u);
  EXPECT_EQ(state.comments[1].text, "second");
  EXPECT_EQ(state.model, "5pl");
  EXPECT_EQ(state.weighting, "1/y");
  EXPECT_EQ(state.verdict, "Fail");
  EXPECT_EQ(nlohmann::json::parse(state.analysisJson)["qc"]["verdict"], "Fail");

  const ReadRecordNotes notes = RecordNotesOf(state);
  EXPECT_EQ(notes.plateId, "X-2");
  EXPECT_EQ(notes.status, "aborted");
  ASSERT_EQ(notes.excluded.size(), 2u);
  EXPECT_EQ(notes.excluded[1].reason, "bubble after all");

  // Without a trail: the record as stored.
  const ReadState stored = CurrentState(read, {});
  EXPECT_EQ(stored.plateId, "P-1");
  EXPECT_EQ(stored.verdict, "Pass");
  EXPECT_TRUE(stored.excluded.empty() && stored.comments.empty() && stored.model.empty());
}
