#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "driver/foto.h"
#include "tests/driver/frame_bytes.h"
#include "tests/driver/scripted_port.h"
#include "tests/support/recording_dialog.h"

namespace {

using frames::kAck;
using frames::kEot;
using frames::kOpening;

// An operation made of one "Q" exchange, with the normal end of a measurement.
class ProbeDriver : public TRodeFoto {
 public:
  using TRodeFoto::TRodeFoto;

  void QueryStatus(PortHandle* port, DialogHandle** dialog, AbortFlag* abort) {
    RunOperation(port, dialog, abort, [this] {
      Exchange("Q");
      reply = szLine;
      SendEot();
      ShowStatus("success");
      PostCompletion(kMeasureDone);
    });
  }

  std::string reply;
};

struct FrameTest : ::testing::Test {
  RecordingDialog dialog;
  DialogHandle* hMainDlg = &dialog;
  AbortFlag bAbort{0};
  ProbeDriver driver{0, 1};

  void Run(ScriptedPort& port) {
    PortHandle hComPort = &port;
    driver.QueryStatus(&hComPort, &hMainDlg, &bAbort);
  }
};

TEST_F(FrameTest, OneExchangeEndsWithEotSuccessAndItsCommand) {
  ScriptedPort port(kAck + kAck + frames::Reply("0A", 1));
  Run(port);
  EXPECT_EQ(driver.reply, "0A");
  EXPECT_EQ(port.Written(), kOpening + "\x02Q\x03\x52" + kAck + kEot);
  EXPECT_EQ(dialog.StatusTexts(), (std::vector<std::string>{"started", "connected", "success"}));
  EXPECT_EQ(dialog.Commands(), std::vector<int>{kMeasureDone});
}

TEST_F(FrameTest, ConnectFailureStillReleasesTheReader) {
  ScriptedPort port("\x15\x15\x15\x15\x15");  // five bytes, none of them ACK
  Run(port);
  EXPECT_EQ(port.Written(), kOpening + kEot);
  EXPECT_EQ(dialog.StatusTexts(),
            (std::vector<std::string>{"started", "Connection not possible."}));
  EXPECT_EQ(dialog.Commands(), std::vector<int>{kOperationFailed});
  EXPECT_STREQ(driver.szMessage, "Connection not possible.");  // still there for the error box
}

TEST_F(FrameTest, SilentReaderPostsTheTimeoutCommand) {
  ScriptedPort port;
  Run(port);
  EXPECT_EQ(port.Written(), kOpening + kEot);
  ASSERT_EQ(dialog.StatusTexts().size(), 2u);
  EXPECT_EQ(dialog.LastStatus().rfind("Timeout (16", 0), 0u) << dialog.LastStatus();
  EXPECT_EQ(dialog.Commands(), std::vector<int>{kReaderTimeout});
}

TEST_F(FrameTest, PortFailurePostsTheFailureCommand) {
  ScriptedPort port;
  port.FailWrites();
  Run(port);
  EXPECT_EQ(dialog.Commands(), std::vector<int>{kOperationFailed});
  EXPECT_EQ(dialog.LastStatus(), driver.szMessage);
  EXPECT_NE(std::string(driver.szMessage), "");
}

TEST_F(FrameTest, AbortPostsItsCommandAndLeavesTheText) {
  ScriptedPort port(kAck);  // connects, then the reader says nothing more
  std::thread operatorHand([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    bAbort = 1;
  });
  Run(port);
  operatorHand.join();
  EXPECT_EQ(port.Written(), kOpening + "\x02Q\x03\x52" + kEot);
  EXPECT_EQ(dialog.LastStatus(), "User aborted.");
  EXPECT_EQ(dialog.Commands(), std::vector<int>{kUserAborted});
}

TEST_F(FrameTest, BusyDialogLosesTheTextsButNotTheOperation) {
  dialog.SetBusy(true);
  ScriptedPort port(kAck + kAck + frames::Reply("0A", 1));
  Run(port);
  EXPECT_TRUE(dialog.StatusTexts().empty());
  EXPECT_EQ(driver.reply, "0A");
  EXPECT_EQ(dialog.Commands(), std::vector<int>{kMeasureDone});
}

TEST(ReaderDriver, StartsEmptyAndRemembersItsSettings) {
  std::unique_ptr<TFoto> driver(CreateReaderDriver(3, 0));
  ASSERT_NE(driver, nullptr);
  EXPECT_NE(dynamic_cast<TRodeFoto*>(driver.get()), nullptr);
  EXPECT_STREQ(driver->szReaderId, "");
  EXPECT_STREQ(driver->szMessage, "");
  EXPECT_EQ(driver->hStatus, nullptr);
  EXPECT_EQ(driver->nReaderType, 3);
  EXPECT_EQ(driver->nReaderSubType, 0);

  RecordingDialog dialog;
  EXPECT_EQ(driver->FindStatusLine(&dialog), dialog.GetDlgItem(kStatusLineId));
  driver->ShowStatus("hello");
  EXPECT_EQ(dialog.StatusTexts(), std::vector<std::string>{"hello"});
}

TEST(ReaderDriver, DeletingThroughTheBaseRunsTheReaderDestructor) {
  static bool destroyed = false;
  struct Watched : TRodeFoto {
    using TRodeFoto::TRodeFoto;
    ~Watched() override { destroyed = true; }
  };
  TFoto* driver = new Watched(0, 1);
  delete driver;
  EXPECT_TRUE(destroyed);
}

}  // namespace
