// The desktop program stores each measurement before the clipboard or the
// preview has it, an aborted one too, and warns once when it cannot.
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <memory>

#include "archive/archive_store.h"
#include "archive/spool.h"
#include "sim/reader_simulator.h"
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
}
