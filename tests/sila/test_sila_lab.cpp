// A MeasurePlate execution never waits on the lab archive: with the lab's
// table locked by another computer it ends with its result and record, and
// the read reaches the lab once, after the lock is gone.
#include <chrono>
#include <thread>

#include "archive/archive_store.h"
#include "archive/pg_connection.h"
#include "sila_fixture.h"
#include "tests/archive/archive_samples.h"
#include "tests/support/lab_server.h"

TEST_F(SilaServerTest, AnExecutionEndsWhileTheLabIsLockedAndItsReadFollowsOnce) {
  PLATOVIX_LAB_SERVER(server);
  const std::string local = (home_ / "archive.sqlite").string();
  ASSERT_TRUE(archive::StoreRead({(home_ / "other.sqlite").string(), server.url()},
                                 archive_samples::SampleRead(0))
                  .stored);  // the lab's schema is there
  std::string error;
  const auto other = archive::PgConnection::Open(server.url(), &error);
  ASSERT_TRUE(other) << error;
  ASSERT_TRUE(other->Script("BEGIN; LOCK TABLE entries"));
  const auto labCopies = [&](const std::string& uuid) {
    std::vector<archive::SqlRow> rows;
    other->Exec("SELECT count(*) FROM entries WHERE uuid = $1", {uuid}, &rows);  // holds the lock
    return rows.empty() ? -1 : std::stoi(rows[0][0]);
  };

  archive_ = archive::StoreConfig{local, server.url()};
  StartOnSimulator(Reader());
  const std::string execution = StartMeasurement(450);
  FollowInfo(*client_, execution);
  prc::MeasurePlate_Responses result;
  silafw::CommandExecutionUUID id;
  id.set_value(execution);
  grpc::ClientContext context;
  const grpc::Status status = client_->reader->MeasurePlate_Result(&context, id, &result);
  ASSERT_TRUE(status.ok()) << status.error_message();
  const std::string uuid = result.recorduuid().value();
  ASSERT_FALSE(uuid.empty());
  EXPECT_EQ(labCopies(uuid), 0);  // the lab is still locked
  // The execution has ended, and only now does the server's forward wait on the lock.
  const auto watcher = archive::PgConnection::Open(server.url(), &error);
  ASSERT_TRUE(watcher) << error;
  bool waited = false;
  for (int n = 0; n < 600 && !waited; ++n) {
    std::vector<archive::SqlRow> rows;
    waited = watcher->Exec("SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock'",
                           {}, &rows) &&
             rows[0][0] != "0";
    if (!waited) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(waited) << "no forward waited on the lab after the execution ended";

  ASSERT_TRUE(other->Script("ROLLBACK"));
  // The server's own forward once the lock went, else a later one.
  for (int n = 0; n < 600 && labCopies(uuid) == 0; ++n) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (n == 300) archive::ForwardToLab({local, server.url()});
  }
  EXPECT_EQ(labCopies(uuid), 1);
  EXPECT_EQ(archive::ForwardToLab({local, server.url()}).pending, 0);
  EXPECT_EQ(labCopies(uuid), 1);
}
