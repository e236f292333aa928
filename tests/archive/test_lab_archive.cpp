// The lab archive on a real PostgreSQL server. One that cannot answer in
// time never holds a front end up: the read is kept locally, the result is
// out at once, and the lab gets the read afterwards, once. Its everyday role
// stores and reads, and changes nothing stored.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>
#include <streambuf>
#include <thread>

#include "archive/archive_store.h"
#include "archive/pg_connection.h"
#include "cli/cli_run.h"
#include "sim/reader_simulator.h"
#include "tests/archive/archive_samples.h"
#include "tests/support/cli_in_process.h"
#include "tests/support/lab_server.h"
#include "tests/support/temp_home.h"

using namespace archive;

namespace {

// Output another thread may look at while the program writes it.
class SharedText : public std::streambuf {
 public:
  std::string text() {
    std::lock_guard<std::mutex> lock(mutex_);
    return text_;
  }

 protected:
  int_type overflow(int_type c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    std::lock_guard<std::mutex> lock(mutex_);
    text_ += traits_type::to_char_type(c);
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    std::lock_guard<std::mutex> lock(mutex_);
    text_.append(s, static_cast<size_t>(n));
    return n;
  }

 private:
  std::mutex mutex_;
  std::string text_;
};

// How often the lab archive holds the read with this UUID.
int LabCopies(const std::string& url, const std::string& uuid) {
  std::string error;
  std::unique_ptr<PgConnection> db = PgConnection::Open(url, &error);
  std::vector<SqlRow> rows;
  if (!db || !db->Exec("SELECT count(*) FROM entries WHERE uuid = $1", {uuid}, &rows)) return -1;
  return std::stoi(rows[0][0]);
}

bool WaitFor(const std::function<bool()>& done) {
  // Generous: the machine may be busy; nothing here measures speed.
  for (int n = 0; n < 1200 && !done(); ++n)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return done();
}

}  // namespace

// Another computer holds the lab's table lock and went quiet. measure prints
// its result while the lock is still held; the read is safe locally and
// reaches the lab once, when the lock is gone.
TEST(LabArchive, MeasurePrintsItsResultWhileTheLabIsLockedAndTheReadFollowsOnce) {
  TempHome home("lab-locked");
  PLATOVIX_LAB_SERVER(server);
  const std::string local = home.path().string() + "/local.sqlite";
  ASSERT_TRUE(StoreRead({local, server.url()}, archive_samples::SampleRead(0)).stored);
  std::string error;
  std::unique_ptr<PgConnection> other = PgConnection::Open(server.url(), &error);
  ASSERT_TRUE(other) << error;
  ASSERT_TRUE(other->Script("BEGIN; LOCK TABLE entries"));

  sim::Options options;
  options.measureMs = 50;
  sim::PtySimulator reader(options);
  SharedText outText, errText;
  std::ostream out(&outText), err(&errText);
  std::future<int> measured = std::async(std::launch::async, [&] {
    return RunCli({"--port", reader.slavePath(), "--family", "digiscan", "measure", "--primary",
                   "450", "--format", "json", "--archive", server.url()},
                  CliIo{out, err, false, -1});
  });
  // The result is out while the lab is still locked.
  EXPECT_TRUE(WaitFor([&] { return outText.text().find("\"values\"") != std::string::npos; }))
      << errText.text();
  // Only now, with the result out, does measure's forward wait on the lock.
  const auto waitingOnLock = [&] {
    std::unique_ptr<PgConnection> watcher = PgConnection::Open(server.url(), &error);
    std::vector<SqlRow> rows;
    return watcher &&
           watcher->Exec("SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock'", {},
                         &rows) &&
           rows[0][0] != "0";
  };
  EXPECT_TRUE(WaitFor(waitingOnLock)) << "no forward waited on the lab after the result was out";
  ASSERT_TRUE(other->Script("ROLLBACK"));
  ASSERT_EQ(measured.get(), 0) << errText.text();

  const CliRun listed = RunCliWith({"archive", "list", "--format", "json"});
  ASSERT_EQ(listed.code, 0) << listed.err;
  const auto reads = nlohmann::json::parse(listed.out);
  ASSERT_EQ(reads.size(), 1u);  // the local archive has it
  const std::string uuid = reads[0]["uuid"];
  // Forwarded by measure itself once the lock went, else by the next forward.
  if (LabCopies(server.url(), uuid) == 0) {
    EXPECT_NE(errText.text().find("1 entries wait here"), std::string::npos) << errText.text();
    const CliRun forward = RunCliWith({"archive", "forward", "--archive", server.url()});
    EXPECT_EQ(forward.code, 0) << forward.err;
  }
  EXPECT_EQ(LabCopies(server.url(), uuid), 1);
  EXPECT_EQ(RunCliWith({"archive", "forward", "--archive", server.url()}).code, 0);
  EXPECT_EQ(LabCopies(server.url(), uuid), 1);
}

// The owner creates the tables and grants the everyday role what storing
// and reading need. That role stores, reads and verifies, and is refused
// every change to what is stored, the triggers, and the server's time.
// An entry sent by a computer whose clock is off is named by verify.
TEST(LabArchive, TheEverydayRoleStoresAndReadsAndChangesNothing) {
  TempHome home("lab-roles");
  PLATOVIX_LAB_SERVER(server);
  std::string error;
  std::unique_ptr<PgConnection> owner = PgConnection::Open(server.url(), &error);
  ASSERT_TRUE(owner) << error;
  ASSERT_TRUE(owner->Script("CREATE ROLE clerk LOGIN")) << owner->Error();

  EXPECT_EQ(RunCliWith({"archive", "init", "--archive", server.url(), "--grant", "x; DROP"}).code,
            1);
  const CliRun init =
      RunCliWith({"archive", "init", "--archive", server.url(), "--grant", "clerk"});
  ASSERT_EQ(init.code, 0) << init.err;
  EXPECT_NE(init.out.find("clerk may store and read"), std::string::npos) << init.out;
  EXPECT_EQ(RunCliWith({"archive", "init", "--archive", server.url()}).code, 0);  // again: no harm

  std::string clerkUrl = server.url();
  const size_t user = clerkUrl.find("user=");
  ASSERT_NE(user, std::string::npos);
  clerkUrl = clerkUrl.substr(0, user) + "user=clerk";
  const StoreConfig config{home.path().string() + "/local.sqlite", clerkUrl};
  const PlateRead read = archive_samples::SampleRead(1);
  const StoreOutcome stored = StoreRead(config, read);
  EXPECT_TRUE(stored.stored);
  EXPECT_TRUE(stored.messages.empty()) << stored.messages[0];
  AuditEntry renamed{NewUuid(), read.uuid, "lab", read.completed, "plate ID", "typo", "P-1b"};
  EXPECT_TRUE(StoreAudit(config, renamed).messages.empty());
  const CliRun verified = RunCliWith({"archive", "verify", "--archive", clerkUrl});
  EXPECT_EQ(verified.code, 0) << verified.err;
  EXPECT_NE(verified.out.find("2 entries"), std::string::npos) << verified.out;

  std::unique_ptr<PgConnection> clerk = PgConnection::Open(clerkUrl, &error);
  ASSERT_TRUE(clerk) << error;
  for (const char* change :
       {"UPDATE entries SET plate_id = 'X'", "DELETE FROM entries", "TRUNCATE entries",
        "ALTER TABLE entries DISABLE TRIGGER entries_no_change",
        "ALTER TABLE entries DISABLE TRIGGER ALL", "DROP TABLE entries",
        "INSERT INTO entries (seq, uuid, kind, read_uuid, at_utc, plate_id, assay, status, "
        "operator, content, prev_hash, hash, server_at) SELECT 9, 'u', kind, read_uuid, at_utc, "
        "plate_id, assay, status, operator, content, prev_hash, hash, now() - interval '1 day' "
        "FROM entries LIMIT 1"}) {
    EXPECT_FALSE(clerk->Script(change)) << change;
    EXPECT_TRUE(clerk->Error().find("permission denied") != std::string::npos ||
                clerk->Error().find("must be owner") != std::string::npos)
        << change << ": " << clerk->Error();
  }

  // A computer whose clock is seven minutes slow sends the next entry.
  const PlateRead late = archive_samples::SampleRead(2);
  ASSERT_TRUE(StoreRead(config, late).messages.empty());
  ASSERT_TRUE(owner->Script(
      "ALTER TABLE entries DISABLE TRIGGER entries_no_change; "
      "UPDATE entries SET client_at = server_at - interval '7 minutes' WHERE uuid = '" +
      late.uuid + "'; ALTER TABLE entries ENABLE TRIGGER entries_no_change"))
      << owner->Error();
  const CliRun flagged = RunCliWith({"archive", "verify", "--archive", clerkUrl});
  EXPECT_EQ(flagged.code, 1);
  EXPECT_NE(flagged.err.find("entry 3 (" + late.uuid + ")"), std::string::npos) << flagged.err;
  EXPECT_NE(flagged.err.find("clock was 7 minutes behind the server's"), std::string::npos)
      << flagged.err;
}
