// The reader's side of the line protocol: opening, check bytes, NAK and
// resend both ways, EOT, and programs that come and go.
#include <gtest/gtest.h>

#include <thread>

#include "tests/sim/sim_fixture.h"

using sim::Family;

TEST_F(SimTest, DigiScanCheckBytesBothWays) {
  Start(FastOptions(Family::DigiScan));
  ASSERT_TRUE(client().Open());
  // "Q" as the program sends it to a DigiScan, and with bit 7 lost on a
  // seven-bit line: both are good.
  client().Write(std::string{0x02, 'Q', 0x03, static_cast<char>(0xAD)});
  EXPECT_EQ(client().ReadByte(), ByteClient::ACK);
  EXPECT_EQ(client().Reply(), "Q@");
  client().Write(std::string{0x02, 'Q', 0x03, 0x2D});
  EXPECT_EQ(client().ReadByte(), ByteClient::ACK);
  // The DigiScan reply carries the complement: X = 'Q' ^ '@' = 0x11.
  const std::string raw = client().RawReply();
  EXPECT_EQ(raw, (std::string{0x02, 'Q', '@', 0x03, static_cast<char>(~(0x11 ^ 0x03))}));
  client().Write(std::string(1, ByteClient::ACK));
  // The Jupiter form of the check byte is wrong for a DigiScan.
  client().Write(std::string{0x02, 'Q', 0x03, 0x52});
  EXPECT_EQ(client().ReadByte(), ByteClient::NAK);
}

TEST_F(SimTest, JupiterCheckBytesBothWays) {
  Start(FastOptions(Family::Jupiter));
  ASSERT_TRUE(client().Open());
  client().Write(std::string{0x02, 'A', 'f', 0x03, 0x24});
  EXPECT_EQ(client().ReadByte(), ByteClient::ACK);
  std::string text;
  ASSERT_TRUE(client().Parse(client().RawReply(), &text));
  EXPECT_EQ(text, "405 450 492 540 620 690");
  client().Write(std::string(1, ByteClient::ACK));
  client().Write(std::string{0x02, 'A', 'f', 0x03, static_cast<char>(0xDB)});  // DigiScan form
  EXPECT_EQ(client().ReadByte(), ByteClient::NAK);
}

TEST_F(SimTest, BadCommandFrameIsRefusedAndTheResendServed) {
  Start(FastOptions(Family::Expert));
  ASSERT_TRUE(client().Open());
  std::string bad = client().Frame("Ap");
  bad.back() = static_cast<char>(bad.back() ^ 0x10);
  client().Write(bad);
  EXPECT_EQ(client().ReadByte(), ByteClient::NAK);
  EXPECT_EQ(client().Exchange("Ap"), "Ap expert SN12345 V2.10");
  // Only the good frame counts as a command received.
  EXPECT_EQ(reader().Commands(), std::vector<std::string>{"Ap"});
}

TEST_F(SimTest, ReplyIsSentAgainAfterNakAndAcknowledgedOnce) {
  Start(FastOptions(Family::DigiScan));
  ASSERT_TRUE(client().Open());
  ASSERT_EQ(client().Send("E"), ByteClient::ACK);
  const std::string first = client().RawReply();
  client().Write(std::string(1, ByteClient::NAK));
  const std::string second = client().RawReply();
  EXPECT_FALSE(first.empty());
  EXPECT_EQ(first, second);
  client().Write(std::string(1, ByteClient::ACK));
  // Nothing more comes, and the conversation goes on.
  EXPECT_EQ(client().Read(1, 150), "");
  EXPECT_EQ(client().Exchange("Q"), "Q@");
}

TEST_F(SimTest, NothingIsAnsweredOutsideAConversation) {
  Start(FastOptions(Family::DigiScan));
  EXPECT_EQ(client().Send("Q", 200), -1);
  ASSERT_TRUE(client().Open());
  EXPECT_EQ(client().Exchange("Q"), "Q@");
  client().End();
  EXPECT_EQ(client().Send("Q", 200), -1);
  // Stray bytes before the opening sequence do not matter.
  client().Write("xx");
  EXPECT_TRUE(client().Open());
  client().End();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(reader().EotCount(), 2);
}

TEST_F(SimTest, ServesProgramAfterProgramOnTheSameTerminal) {
  Start(FastOptions(Family::Jupiter));
  for (int program = 0; program < 3; ++program) {
    // One program ends before the next starts, as on a desk.
    client_.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    client_ = std::make_unique<ByteClient>(sim_->slavePath(), 1);
    ASSERT_TRUE(client().Open());
    EXPECT_EQ(client().Exchange("Q"), "QD");
    if (program == 1) continue;  // leaves without EOT
    client().End();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(reader().EotCount(), 2);
}

TEST_F(SimTest, GivesUpOnAReplyNobodyAcknowledges) {
  Start(FastOptions(Family::DigiScan));
  ASSERT_TRUE(client().Open());
  ASSERT_EQ(client().Send("Q"), ByteClient::ACK);
  EXPECT_FALSE(client().RawReply().empty());
  // No ACK: the reader waits its 1600 ms, then treats the conversation as
  // over and needs a new opening.
  std::this_thread::sleep_for(std::chrono::milliseconds(1900));
  EXPECT_EQ(client().Send("Q", 300), -1);
  ASSERT_TRUE(client().Open());
  EXPECT_EQ(client().Exchange("Q"), "Q@");
}

TEST(SimServe, StopEndsServeOnAnIdleStream) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  sim::ReaderSimulator reader(FastOptions(Family::DigiScan));
  std::thread serving([&] { reader.Serve(fds[0]); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto asked = std::chrono::steady_clock::now();
  reader.Stop();
  serving.join();
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(300));
  close(fds[0]);
  close(fds[1]);
}

TEST(SimServe, EndOfStreamEndsServe) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  sim::ReaderSimulator reader(FastOptions(Family::DigiScan));
  std::thread serving([&] { reader.Serve(fds[0]); });
  close(fds[1]);
  serving.join();  // returns by itself
  close(fds[0]);
}

TEST_F(SimTest, BaudSettingPacesTheReplies) {
  sim::Options o = FastOptions(Family::DigiScan);
  o.baud = 1200;  // 11 bits a character: about 9.2 ms each
  Start(o);
  ASSERT_TRUE(client().Open());
  ASSERT_EQ(client().Send("Af"), ByteClient::ACK);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(client().Reply(), "405 450 492 540 620 690");
  // 26 characters cannot arrive sooner than a 1200 baud line carries them.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
}
