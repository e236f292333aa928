// Time-outs, the operator's abort and a line that goes away, over a
// pseudo-terminal. Bounds are generous: the machine may be busy.
#include <cstdlib>
#include <string>
#include <thread>

#include "tests/driver/link_fixture.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

TEST_F(LinkTest, SilentReaderTimesOutAfterAbout1600Ms) {
  const auto start = steady_clock::now();
  EXPECT_EQ(CodeOf([&] { driver().Connect(); }), kExcTimeout);
  const double waited = SecondsSince(start);
  EXPECT_GT(waited, 1.55);
  EXPECT_LT(waited, 3.0);
  const std::string message = driver().szMessage;
  ASSERT_EQ(message.rfind("Timeout (", 0), 0u) << message;
  const int ms = std::atoi(message.c_str() + 9);
  EXPECT_GE(ms, 1600);
  EXPECT_LT(ms, 2500);
  EXPECT_EQ(message.substr(message.size() - 2), ").");
}

TEST_F(LinkTest, TheTimeOutCountsForEachByteOnItsOwn) {
  // A reply trickled one byte a second takes longer than 1600 ms in all.
  std::thread reader([&] {
    pty_.Write(
        "\x02"
        "A");
    std::this_thread::sleep_for(milliseconds(1000));
    pty_.Write("\x03");
    std::this_thread::sleep_for(milliseconds(1000));
    pty_.Write(frames::Reply("A", 1).substr(3));
  });
  EXPECT_EQ(CodeOf([&] { driver().ReceiveReply(); }), 0);
  reader.join();
  EXPECT_STREQ(driver().szLine, "A");
}

TEST_F(LinkTest, AbortEndsAByteWaitPromptly) {
  steady_clock::time_point abortedAt;
  std::thread operatorHand([&] {
    std::this_thread::sleep_for(milliseconds(300));
    abortedAt = steady_clock::now();
    abort_ = 1;
  });
  EXPECT_EQ(CodeOf([&] { driver().ReceiveReply(); }), kExcAbort);
  const double latency = SecondsSince(abortedAt);
  operatorHand.join();
  EXPECT_STREQ(driver().szMessage, "User aborted.");
  EXPECT_LT(latency, 0.3);
}

TEST_F(LinkTest, AbortEndsALongWaitPromptly) {
  steady_clock::time_point abortedAt;
  std::thread operatorHand([&] {
    std::this_thread::sleep_for(milliseconds(300));
    abortedAt = steady_clock::now();
    abort_ = 1;
  });
  const auto start = steady_clock::now();
  EXPECT_EQ(CodeOf([&] { driver().WaitAbortable(4000); }), kExcAbort);
  const double total = SecondsSince(start);
  const double latency = SecondsSince(abortedAt);
  operatorHand.join();
  EXPECT_STREQ(driver().szMessage, "User aborted.");
  EXPECT_LT(latency, 0.3);
  EXPECT_LT(total, 1.0);
}

TEST_F(LinkTest, AbortableWaitsSleepAtLeastOnce) {
  auto start = steady_clock::now();
  driver().WaitAbortable(0);
  EXPECT_GE(SecondsSince(start), 0.055);
  EXPECT_LT(SecondsSince(start), 0.5);

  start = steady_clock::now();
  driver().WaitAbortable(150);
  EXPECT_GT(SecondsSince(start), 0.150);
}

TEST_F(LinkTest, AHungUpLineFailsAtOnce) {
  pty_.Write(
      "\x02"
      "AB");
  std::thread unplug([&] {
    std::this_thread::sleep_for(milliseconds(200));
    pty_.HangUp();
  });
  const auto start = steady_clock::now();
  EXPECT_EQ(CodeOf([&] { driver().ReceiveReply(); }), kExcPort);
  const double waited = SecondsSince(start);
  unplug.join();
  EXPECT_LT(waited, 1.0);  // not the byte time-out
  EXPECT_STRNE(driver().szMessage, "");
  EXPECT_STREQ(driver().szLine, "AB");
}

}  // namespace
