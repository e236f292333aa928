// A lab server that cannot answer in time never holds a front end up: the
// read is kept locally, the result is out at once, and the lab gets the
// read afterwards, once.
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
#include "tests/archive/postgres_server.h"
#include "tests/support/cli_in_process.h"
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
TEST(LabTimeouts, MeasurePrintsItsResultWhileTheLabIsLockedAndTheReadFollowsOnce) {
  if (!PostgresServer::Available()) GTEST_SKIP() << "no PostgreSQL server binaries";
  TempHome home("lab-locked");
  PostgresServer server;
  ASSERT_TRUE(server.running());
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
