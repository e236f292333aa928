// The lab archive on a real PostgreSQL server this test starts itself.
#include <gtest/gtest.h>

#include <set>

#include "archive/archive_store.h"
#include "archive/pg_connection.h"
#include "archive/postgres_archive.h"
#include "tests/archive/archive_samples.h"
#include "tests/archive/postgres_server.h"

using namespace archive;
using namespace archive_samples;

TEST(PostgresArchive, ReadsWaitWhileTheServerIsDownAndArriveOnceInOrder) {
  if (!PostgresServer::Available()) {
    GTEST_SKIP() << "no PostgreSQL server binaries in " << PostgresServer::kBinaries
                 << " (Debian package postgresql)";
  }
  PostgresServer server;
  ASSERT_TRUE(server.running()) << "the test's PostgreSQL server did not start";
  TempFolder folder;
  const StoreConfig config{folder.path() + "/archive.sqlite", server.url()};

  std::vector<PlateRead> reads;
  reads.push_back(SampleRead(0));
  StoreOutcome outcome = StoreRead(config, reads.back());
  EXPECT_TRUE(outcome.stored);
  EXPECT_TRUE(outcome.messages.empty()) << outcome.messages[0];

  ASSERT_TRUE(server.Stop());
  for (int n = 1; n <= 3; ++n) {
    reads.push_back(SampleRead(n));
    outcome = StoreRead(config, reads.back());
    EXPECT_TRUE(outcome.stored);  // safe here, and said to wait
    ASSERT_EQ(outcome.messages.size(), 1u);
    EXPECT_NE(outcome.messages[0].find(std::to_string(n) + " entries wait"), std::string::npos)
        << outcome.messages[0];
  }
  ForwardOutcome forward = ForwardToLab(config);
  EXPECT_FALSE(forward.ok);
  EXPECT_EQ(forward.pending, 3);

  ASSERT_TRUE(server.Start());
  // Two programs catch up at the same moment: still each read once.
  const auto forwardInChild = [&] { return ForwardToLab(config).ok ? 0 : 1; };
  const pid_t child = fork();
  if (child == 0) _exit(forwardInChild());
  forward = ForwardToLab(config);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(forward.ok) << forward.error;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ForwardToLab(config).pending, 0);

  std::string note, error;
  auto lab = OpenPostgresArchive(server.url(), &note, &error);
  ASSERT_TRUE(lab) << error;
  std::vector<SqlRow> rows;
  ASSERT_TRUE(lab->Connection().Exec("SELECT uuid FROM entries ORDER BY seq", {}, &rows));
  ASSERT_EQ(rows.size(), reads.size());
  for (size_t i = 0; i < reads.size(); ++i) EXPECT_EQ(rows[i][0], reads[i].uuid);
  PlateRead back;
  ASSERT_TRUE(lab->GetRead(reads[2].uuid, &back, &error));
  EXPECT_EQ(ReadContent(back), ReadContent(reads[2]));
  EXPECT_TRUE(lab->Verify().ok);
  // Streamed row by row: the list's order and the stored content; a bad
  // statement fails and leaves the connection usable.
  std::vector<std::string> streamed;
  ASSERT_TRUE(lab->EachRead(
      {}, true, [&](const ReadSummary& read) { streamed.push_back(read.content); }, &error))
      << error;
  std::vector<ReadSummary> listed;
  ASSERT_TRUE(lab->ListReads({}, true, &listed, &error));
  ASSERT_EQ(streamed.size(), reads.size());
  for (size_t i = 0; i < listed.size(); ++i) EXPECT_EQ(streamed[i], listed[i].content);
  EXPECT_FALSE(
      lab->Connection().EachRow("SELECT nothing FROM entries", {}, [](const SqlRowView&) {}));
  EXPECT_TRUE(lab->GetRead(reads[1].uuid, &back, &error)) << error;
  // Longer lists streamed whole and in order: 2000 reads, and a page of 1001.
  ASSERT_TRUE(lab->Connection().Script("SET synchronous_commit = off"));
  for (int n = 4; n < 2000; ++n) ASSERT_TRUE(lab->AppendRead(SampleRead(n), &error)) << error;
  for (const size_t limit : {size_t{0}, size_t{1001}}) {
    ReadQuery query;
    query.limit = limit;
    std::vector<ReadSummary> all;
    ASSERT_TRUE(lab->ListReads(query, true, &all, &error)) << error;
    ASSERT_EQ(all.size(), limit == 0 ? 2000u : limit);
    size_t at = 0, same = 0;
    ASSERT_TRUE(lab->EachRead(
        query, true,
        [&](const ReadSummary& read) {
          same += at < all.size() && read.uuid == all[at].uuid && read.content == all[at].content;
          ++at;
        },
        &error))
        << error;
    EXPECT_EQ(at, all.size());
    EXPECT_EQ(same, all.size());
  }
  // Inside a transaction the stream leaves it open and usable.
  ASSERT_TRUE(lab->Connection().Script("BEGIN"));
  for (int twice = 0; twice < 2; ++twice) {
    EXPECT_TRUE(lab->EachRead(
        {}, false, [](const ReadSummary&) {}, &error))
        << error;
  }
  ASSERT_TRUE(lab->Connection().Script("COMMIT")) << lab->Connection().Error();
  ASSERT_TRUE(lab->Connection().Script("SET synchronous_commit = on"));

  // Append-only in the database itself, whatever the client.
  EXPECT_FALSE(lab->Connection().Script("UPDATE entries SET plate_id = 'X'"));
  EXPECT_NE(lab->Connection().Error().find("append-only"), std::string::npos);
  EXPECT_FALSE(lab->Connection().Script("DELETE FROM entries"));
  EXPECT_FALSE(lab->Connection().Script("TRUNCATE entries"));
  // Only an owner who switches the rule off can edit, and verify finds it.
  ASSERT_TRUE(lab->Connection().Script(
      "ALTER TABLE entries DISABLE TRIGGER USER; UPDATE entries SET content = "
      "replace(content, '\"P-2\"', '\"P-7\"') WHERE seq = 3"));
  const VerifyReport report = lab->Verify();
  EXPECT_FALSE(report.ok);
  EXPECT_EQ(report.firstBadSeq, 3);
  EXPECT_EQ(report.firstBadUuid, reads[2].uuid);
}
