// The History over a lab archive on a real PostgreSQL server that another
// computer holds locked: the window opens at once, says it is loading,
// goes on taking keys and firing timers, closes without waiting, and lists
// the lab's reads once the lock is gone. A lab database without the
// archive's schema is named as such and left as it was. A program that ends
// while the History's query waits on the lock leaves no query behind.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "archive/archive_store.h"
#include "archive/pg_connection.h"
#include "history/history_window.h"
#include "tests/archive/archive_samples.h"
#include "tests/history/history_settled.h"
#include "tests/support/command_output.h"
#include "tests/support/lab_server.h"
#include "tests/support/result_state_guard.h"
#include "tests/ui/ui_test_support.h"

namespace {

using archive_samples::SampleRead;
using archive_samples::TempFolder;

class HistoryLab : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    server_ = StartLabServer();
    if (!server_) GTEST_SKIP() << "no PostgreSQL server binaries";
    ASSERT_TRUE(server_->running());
  }

  TempFolder folder_;
  std::unique_ptr<PostgresServer> server_;
  ResultStateGuard guard_;
  BoxRecorder boxes_;
};

TEST_F(HistoryLab, StaysResponsiveWhileTheLabIsLockedAndListsItsReadsOnceFree) {
  const archive::StoreConfig config{folder_.path() + "/archive.sqlite", server_->url()};
  for (int n = 0; n < 3; ++n) ASSERT_TRUE(archive::StoreRead(config, SampleRead(n)).stored);
  std::string error;
  const auto other = archive::PgConnection::Open(server_->url(), &error);
  const auto watcher = archive::PgConnection::Open(server_->url(), &error);
  ASSERT_TRUE(other && watcher) << error;
  ASSERT_TRUE(other->Script("BEGIN; LOCK TABLE entries IN ACCESS EXCLUSIVE MODE"));

  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(10);
  HistoryWindow window(nullptr, config);
  window.show();
  EXPECT_TRUE(window.Loading());
  EXPECT_TRUE(window.findChild<QLabel*>("loading")->isVisible());
  EXPECT_EQ(window.findChild<QLabel*>("loading")->text(), "Loading...");
  ASSERT_TRUE(QTest::qWaitFor([&] { return SomeoneWaitsOnALock(*watcher); }, 60000));

  // The lab holds the window's query; the window itself goes on.
  const int before = ticks;
  ASSERT_TRUE(QTest::qWaitFor([&] { return ticks > before + 3; }, 60000));
  auto* search = window.findChild<QLineEdit*>("search");
  QTest::keyClicks(search, "P-");
  EXPECT_EQ(search->text(), "P-");
  // Closed while its query waits: the window goes at once, the query ends on its own.
  {
    auto* closed = new HistoryWindow(nullptr, config);
    closed->setAttribute(Qt::WA_DeleteOnClose);
    closed->show();
    closed->close();
  }
  const int afterClose = ticks;
  ASSERT_TRUE(QTest::qWaitFor([&] { return ticks > afterClose + 3; }, 60000));

  ASSERT_TRUE(other->Script("COMMIT"));
  // Asked again once free: whatever gave up on the lock meanwhile is asked anew.
  QTest::keyClick(search, Qt::Key_Backspace);
  ASSERT_TRUE(Settled(window));
  EXPECT_FALSE(window.findChild<QLabel*>("loading")->isVisible());
  HistoryModel& model = window.Model();
  ASSERT_EQ(model.rowCount(), 3);
  EXPECT_EQ(model.Read(0).plateId, SampleRead(2).plateId);
  EXPECT_FALSE(model.Pending(0));
  EXPECT_EQ(search->text(), "P");
}

TEST_F(HistoryLab, ALabDatabaseWithoutTheSchemaIsNamedAndLeftAsItWas) {
  const std::string url = server_->url() + "&password=S3cret-Pw";
  const archive::StoreConfig config{folder_.path() + "/archive.sqlite", url};
  HistoryWindow window(nullptr, config);
  ASSERT_TRUE(Settled(window));
  const QString notice = window.findChild<QLabel*>("notice")->text();
  EXPECT_TRUE(notice.contains("has no Platovix schema")) << notice.toStdString();
  EXPECT_TRUE(notice.contains("archive init")) << notice.toStdString();
  EXPECT_FALSE(notice.contains("S3cret")) << notice.toStdString();
  std::string error;
  const auto db = archive::PgConnection::Open(server_->url(), &error);
  ASSERT_TRUE(db) << error;
  std::vector<archive::SqlRow> rows;
  ASSERT_TRUE(db->Exec("SELECT count(*) FROM pg_tables WHERE schemaname = 'public'", {}, &rows));
  EXPECT_EQ(rows[0][0], "0");
}

// A program of its own (this one, run again on the lab below): its History
// asks the locked lab, the window goes, and once the application has ended
// none of the program's queries waits on the lab any more.
TEST(HistoryExit, TheApplicationsEndLeavesNoQueryBehind) {
  const char* url = getenv("PLATOVIX_TEST_LOCKED_LAB");
  const char* folder = getenv("PLATOVIX_TEST_LOCKED_LAB_FOLDER");
  if (url == nullptr || folder == nullptr)
    GTEST_SKIP() << "run by HistoryLab.AProgramEndingWhileItsHistoryWaitsOnTheLockEndsCleanly";
  std::string error;
  const auto watcher = archive::PgConnection::Open(url, &error);
  ASSERT_TRUE(watcher) << error;
  {
    static int argc = 1;
    static char name[] = "platovix-test";
    static char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    HistoryWindow window(nullptr, {std::string(folder) + "/archive.sqlite", url});
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return SomeoneWaitsOnALock(*watcher); }, 60000));
  }
  EXPECT_FALSE(SomeoneWaitsOnALock(*watcher));
}

TEST_F(HistoryLab, AProgramEndingWhileItsHistoryWaitsOnTheLockEndsCleanly) {
  const archive::StoreConfig config{folder_.path() + "/archive.sqlite", server_->url()};
  ASSERT_TRUE(archive::StoreRead(config, SampleRead(0)).stored);
  std::string error;
  const auto other = archive::PgConnection::Open(server_->url(), &error);
  ASSERT_TRUE(other) << error;
  ASSERT_TRUE(other->Script("BEGIN; LOCK TABLE entries IN ACCESS EXCLUSIVE MODE"));
  setenv("PLATOVIX_TEST_LOCKED_LAB", server_->url().c_str(), 1);
  setenv("PLATOVIX_TEST_LOCKED_LAB_FOLDER", folder_.path().c_str(), 1);
  const std::string output =
      CommandOutput(std::filesystem::read_symlink("/proc/self/exe").string() +
                    " --gtest_filter=HistoryExit.TheApplicationsEndLeavesNoQueryBehind 2>&1;"
                    " echo exit=$?");
  unsetenv("PLATOVIX_TEST_LOCKED_LAB");
  unsetenv("PLATOVIX_TEST_LOCKED_LAB_FOLDER");
  EXPECT_NE(output.find("[  PASSED  ] 1 test."), std::string::npos) << output;
  EXPECT_NE(output.find("exit=0"), std::string::npos) << output;
  ASSERT_TRUE(other->Script("COMMIT"));
}

}  // namespace
