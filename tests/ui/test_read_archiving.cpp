// The desktop program stores each measurement before the clipboard or the
// preview has it, an aborted one too, and warns once when it cannot.
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "archive/archive_store.h"
#include "archive/pg_connection.h"
#include "archive/spool.h"
#include "archive_ui/desktop_archive.h"
#include "sim/reader_simulator.h"
#include "tests/archive/archive_samples.h"
#include "tests/support/lab_server.h"
#include "tests/support/temp_home.h"
#include "tests/ui/ui_test_support.h"
#include "ui/main_dialog.h"

namespace {

std::vector<archive::ReadSummary> Archived() {
  std::vector<std::string> messages;
  std::string error;
  std::vector<archive::ReadSummary> reads;
  auto archive = archive::OpenArchiveForReading({}, &messages, &error);
  if (archive) archive->ListReads({}, false, &reads, &error);
  return reads;
}

class DesktopArchive : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    ResetProgramState();
    sim::Options options;
    options.measureMs = 300;
    reader_ = std::make_unique<sim::PtySimulator>(options);
    PortMap.szDevice[1] = reader_->slavePath();
    AppSettings.nComPort = 1;
    AppSettings.bAutoCopy = 1;
    AppSettings.bAutoView = 1;
    dialog_ = std::make_unique<MainDialog>();
    dialog_->show();
    dialog_->Combo(kPrimaryList)->setEditText("405");
  }
  void TearDown() override {
    dialog_.reset();
    ResetProgramState();
  }
  void Press(int id) { qobject_cast<QPushButton*>(dialog_->Item(id))->click(); }
  static bool WaitUntilIdle() {
    return QTest::qWaitFor([] { return hWorkerThread == nullptr; }, 30000);
  }

  BoxRecorder boxes_;
  TempHome temp_{"ui-archive"};
  const std::string folder_ = temp_.path().string();
  std::unique_ptr<sim::PtySimulator> reader_;
  std::unique_ptr<MainDialog> dialog_;
};

}  // namespace

TEST_F(DesktopArchive, MeasurementIsStoredBeforeTheClipboardAndThePreviewHaveIt) {
  size_t whenCopied = 0;
  size_t whenPreviewed = 0;
  QGuiApplication::clipboard()->clear();
  QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, dialog_.get(),
                   [&] { whenCopied = Archived().size(); });
  ModalWatcher preview([&](QWidget* modal) {
    whenPreviewed = Archived().size();
    static_cast<TemplateDialog*>(modal)->SendCommand(2);
  });
  Press(kMeasureButton);
  ASSERT_TRUE(WaitUntilIdle());
  ASSERT_TRUE(QTest::qWaitFor([&] { return preview.Seen() == 1; }, 5000));
  EXPECT_EQ(whenCopied, 1u);
  EXPECT_EQ(whenPreviewed, 1u);
  const std::vector<archive::ReadSummary> reads = Archived();
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0].status, "completed");
  EXPECT_EQ(BoxRecorder::Texts(), "");

  // Aborted: kept, marked as such.
  AppSettings.bAutoView = 0;
  Press(kMeasureButton);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        const auto sent = reader_->reader().Commands();
        return std::count_if(sent.begin(), sent.end(),
                             [](const std::string& c) { return c.rfind("Sf", 0) == 0; }) == 2;
      },
      30000));
  Press(kMeasureButton);  // "&Abort" now
  ASSERT_TRUE(WaitUntilIdle());
  ASSERT_EQ(Archived().size(), 2u);
  EXPECT_EQ(Archived()[0].status == "aborted" || Archived()[1].status == "aborted", true);
}

TEST_F(DesktopArchive, UnavailableArchiveGivesOneWarningAndTheReadWaitsInTheSpool) {
  AppSettings.bAutoView = 0;
  AppSettings.ArchiveUrl = "/dev/null/archive.sqlite";  // a folder that cannot be
  Press(kMeasureButton);
  ASSERT_TRUE(WaitUntilIdle());
  ASSERT_EQ(BoxRecorder::Boxes().size(), 1u) << BoxRecorder::Texts();
  EXPECT_EQ(BoxRecorder::Boxes()[0].caption, "Archive");
  EXPECT_NE(BoxRecorder::Texts().find("is kept in"), std::string::npos) << BoxRecorder::Texts();
  // In the state folder's spool of this archive, not one all archives share.
  const std::string spool = archive::SpoolPaths(AppSettings.ArchiveUrl)[1];
  EXPECT_EQ(spool.rfind(folder_ + "/state/platovix/spool/", 0), 0u) << spool;
  EXPECT_TRUE(std::filesystem::file_size(spool) > 0);
  EXPECT_FALSE(QGuiApplication::clipboard()->text().isEmpty());  // the result is still there
}

TEST_F(DesktopArchive, AMalformedArchiveUrlIsNamedWithoutItsPassword) {
  AppSettings.bAutoView = 0;
  AppSettings.ArchiveUrl = "postgresql://lab:S3cret-Pw@[::1/platovix";
  Press(kMeasureButton);
  ASSERT_TRUE(WaitUntilIdle());
  ASSERT_EQ(BoxRecorder::Boxes().size(), 1u) << BoxRecorder::Texts();
  EXPECT_NE(BoxRecorder::Texts().find("the archive URL is not valid"), std::string::npos)
      << BoxRecorder::Texts();
  EXPECT_EQ(BoxRecorder::Texts().find("S3cret"), std::string::npos) << BoxRecorder::Texts();
  EXPECT_NE(BoxRecorder::Texts().find("is kept in"), std::string::npos);  // nothing lost
  EXPECT_FALSE(QGuiApplication::clipboard()->text().isEmpty());
  // Kept in this computer's archive, as while a lab is down; no spool under the URL's name.
  EXPECT_EQ(Archived().size(), 1u);
  for (const std::string& spool : archive::SpoolPaths(AppSettings.ArchiveUrl))
    EXPECT_FALSE(std::filesystem::exists(spool)) << spool;
  EXPECT_FALSE(std::filesystem::exists(folder_ + "/state/platovix/spool"));

  // The next start says so before anything is measured.
  dialog_ = std::make_unique<MainDialog>();
  dialog_->show();
  ASSERT_TRUE(QTest::qWaitFor([] { return BoxRecorder::Boxes().size() == 2; }, 30000));
  EXPECT_EQ(BoxRecorder::Boxes()[1].caption, "Archive");
  EXPECT_NE(BoxRecorder::Boxes()[1].text.find("The archive setting is refused"), std::string::npos)
      << BoxRecorder::Boxes()[1].text;
  EXPECT_EQ(BoxRecorder::Texts().find("S3cret"), std::string::npos) << BoxRecorder::Texts();
}

// Another computer holds the lab archive's table lock. The measurement is
// stored locally and shown; the window goes on (its timers fire) while the
// forward waits on the lab, and the read reaches the lab once the lock goes.
TEST_F(DesktopArchive, TheWindowGoesOnWhileTheLabIsLockedAndTheReadFollowsOnce) {
  PLATOVIX_LAB_SERVER(server);
  ASSERT_TRUE(archive::StoreRead({folder_ + "/other.sqlite", server.url()},
                                 archive_samples::SampleRead(0))
                  .stored);  // the lab's schema is there
  std::string error;
  const auto other = archive::PgConnection::Open(server.url(), &error);
  const auto watcher = archive::PgConnection::Open(server.url(), &error);
  ASSERT_TRUE(other && watcher) << error;
  ASSERT_TRUE(other->Script("BEGIN; LOCK TABLE entries"));
  const auto waitingOnLock = [&] {
    std::vector<archive::SqlRow> rows;
    return watcher->Exec("SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock'", {},
                         &rows) &&
           rows[0][0] != "0";
  };
  const auto labCopies = [&](const std::string& uuid) {
    std::vector<archive::SqlRow> rows;
    other->Exec("SELECT count(*) FROM entries WHERE uuid = $1", {uuid}, &rows);  // holds the lock
    return rows.empty() ? -1 : std::stoi(rows[0][0]);
  };

  AppSettings.bAutoView = 0;
  AppSettings.ArchiveUrl = server.url();
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(10);
  Press(kMeasureButton);
  ASSERT_TRUE(WaitUntilIdle());
  const std::string uuid = LastArchivedRecord().uuid;
  ASSERT_FALSE(uuid.empty());
  // A forward that gave up on the lock before it was seen is asked for again.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        if (LabForwardingIdle()) ForwardToLabLater(dialog_.get());
        return waitingOnLock();
      },
      120000));
  const int before = ticks;
  ASSERT_TRUE(QTest::qWaitFor([&] { return ticks > before + 2; }, 60000));
  EXPECT_EQ(labCopies(uuid), 0);

  ASSERT_TRUE(other->Script("ROLLBACK"));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        if (!LabForwardingIdle()) return false;
        if (labCopies(uuid) == 1) return true;
        ForwardToLabLater(dialog_.get());  // it gave up on the lock: once more
        return false;
      },
      120000));
  ForwardToLabLater(dialog_.get());
  ASSERT_TRUE(QTest::qWaitFor([] { return LabForwardingIdle(); }, 60000));
  EXPECT_EQ(labCopies(uuid), 1);
  EXPECT_EQ(Archived().size(), 1u);
}
