// The line protocol over a pseudo-terminal: framing, acknowledgement and
// retransmission, receiving, line errors.
#include <string>

#include "tests/driver/link_fixture.h"

namespace {

using frames::kAck;
using frames::kEot;
using frames::kNak;
using frames::Reply;

TEST_F(LinkTest, FramesCommandsWithTheCheckByteOfEachFamily) {
  const struct {
    int family;
    const char* command;
    std::string frame;
  } kGolden[] = {
      {1, "Q", std::string("\x02Q\x03\x52")},
      {1, "Af", std::string("\x02\x41\x66\x03\x24")},
      {1, "", std::string("\x02\x03\x03")},
      {0, "Q", std::string("\x02Q\x03\xAD")},
      {0, "Af", std::string("\x02\x41\x66\x03\xDB")},
      {0, "", std::string("\x02\x03\xFC")},
  };
  for (const auto& golden : kGolden) {
    UseFamily(golden.family);
    pty_.Write(kAck);
    EXPECT_EQ(CodeOf([&] { driver().SendCommand(golden.command); }), 0);
    EXPECT_EQ(Sent(golden.frame.size()), golden.frame) << golden.family << golden.command;
  }
}

TEST_F(LinkTest, ConnectWaitsForAckAmongFiveBytes) {
  pty_.Write("\x15\x04xy\x06");  // ACK as the fifth byte still connects
  EXPECT_EQ(CodeOf([&] { driver().Connect(); }), 0);
  EXPECT_EQ(Sent(), std::string("\x04"
                                "20\x05"));

  pty_.Write("\x15\x04xyz\x06");
  EXPECT_EQ(CodeOf([&] { driver().Connect(); }), kExcFailure);
  EXPECT_STREQ(driver().szMessage, "Connection not possible.");
  Sent();
}

TEST_F(LinkTest, AcceptsRepliesOnTheLowSevenBitsOfTheCheckByte) {
  // "Af" from a Jupiter with bit 7 of the check byte set.
  pty_.Write(
      "\x02"
      "Af\x03\xA4");
  EXPECT_EQ(CodeOf([&] { driver().ReceiveReply(); }), 0);
  EXPECT_STREQ(driver().szLine, "Af");
  EXPECT_EQ(driver().nLineLen, 2);
  EXPECT_EQ(Sent(), kAck);

  pty_.Write("\x02\x03\x03");  // an empty reply
  EXPECT_EQ(CodeOf([&] { driver().ReceiveReply(); }), 0);
  EXPECT_STREQ(driver().szLine, "");
  EXPECT_EQ(driver().nLineLen, 0);
  EXPECT_EQ(Sent(), kAck);

  UseFamily(0);
  pty_.Write("\x02Q\x03\x2D");  // "Q" from a DigiScan on a 7-bit line
  EXPECT_EQ(CodeOf([&] { driver().ReceiveReply(); }), 0);
  EXPECT_STREQ(driver().szLine, "Q");
  pty_.Write("\x02\x03\x7C");
  EXPECT_EQ(CodeOf([&] { driver().ReceiveReply(); }), 0);
  EXPECT_EQ(driver().nLineLen, 0);
  EXPECT_EQ(Sent(), kAck + kAck);
}

TEST_F(LinkTest, ExchangeReturnsTheReplyTextWithControlCharacters) {
  const std::string text("0\x01\x7F\x80 A", 6);
  pty_.Write(kAck + "junk" + Reply(text, 1));
  EXPECT_EQ(CodeOf([&] { driver().Exchange("Q"); }), 0);
  EXPECT_EQ(std::string(driver().szLine, driver().nLineLen), text);
  EXPECT_EQ(Sent(), std::string("\x02Q\x03\x52") + kAck);
}

TEST_F(LinkTest, ResendsACommandOnceAfterNak) {
  const std::string frame("\x02Q\x03\x52");
  pty_.Write(kNak + kAck);
  EXPECT_EQ(CodeOf([&] { driver().SendCommand("Q"); }), 0);
  EXPECT_EQ(Sent(), frame + frame);

  pty_.Write(kNak + kNak);
  EXPECT_EQ(CodeOf([&] { driver().SendCommand("Q"); }), kExcFailure);
  EXPECT_STREQ(driver().szMessage, "Command not ackowledged.");
  EXPECT_EQ(Sent(), frame + frame);

  pty_.Write(kEot);  // anything else fails at once, without a resend
  EXPECT_EQ(CodeOf([&] { driver().SendCommand("Q"); }), kExcFailure);
  EXPECT_STREQ(driver().szMessage, "Command not ackowledged.");
  EXPECT_EQ(Sent(), frame);
}

TEST_F(LinkTest, LineErrorsTurnARefusedCommandIntoASerialError) {
  parityErrors_ = 1;  // a parity error since the port was opened
  pty_.Write(kNak + kNak);
  EXPECT_EQ(CodeOf([&] { driver().SendCommand("Q"); }), kExcPort);
  EXPECT_STREQ(driver().szMessage, "Serial error 4.");
}

TEST_F(LinkTest, SkipsUpTo63StrayBytesBeforeAReply) {
  pty_.Write(std::string(63, 'x') + Reply("OK", 1));
  EXPECT_EQ(CodeOf([&] { driver().ReceiveReply(); }), 0);
  EXPECT_STREQ(driver().szLine, "OK");
  Sent();

  pty_.Write(std::string(64, 'x') + Reply("OK", 1));
  EXPECT_EQ(CodeOf([&] { driver().ReceiveReply(); }), kExcFailure);
  EXPECT_STREQ(driver().szMessage, "Garbled data");
  EXPECT_EQ(Sent(), "");  // neither ACK nor NAK for what is no frame
}

TEST_F(LinkTest, AcceptsTextsUpTo1022Bytes) {
  const std::string longest(1022, 'D');
  pty_.Write(Reply(longest, 1));
  EXPECT_EQ(CodeOf([&] { driver().ReceiveReply(); }), 0);
  EXPECT_EQ(driver().nLineLen, 1022);
  EXPECT_EQ(std::string(driver().szLine), longest);
  Sent();

  pty_.Write(Reply(longest + "D", 1));
  EXPECT_EQ(CodeOf([&] { driver().ReceiveReply(); }), kExcFailure);
  EXPECT_STREQ(driver().szMessage, "Garbled data");
  EXPECT_EQ(driver().nLineLen, 1023);
  EXPECT_EQ(driver().szLine[1023], '\0');  // the buffer stays a text
}

TEST_F(LinkTest, AsksOnceForARepeatOfABadFrame) {
  std::string bad = Reply("first", 1);
  bad.back() ^= 0x01;
  pty_.Write(bad + Reply("second", 1));
  EXPECT_EQ(CodeOf([&] { driver().ReceiveReply(); }), 0);
  EXPECT_STREQ(driver().szLine, "second");
  EXPECT_EQ(Sent(), kNak + kAck);

  pty_.Write(bad + bad);
  EXPECT_EQ(CodeOf([&] { driver().ReceiveReply(); }), kExcFailure);
  EXPECT_STREQ(driver().szMessage, "Garbled data");
  EXPECT_EQ(Sent(), kNak);
}

TEST_F(LinkTest, OnlyLineErrorsWithinTheFrameMakeASerialError) {
  std::string bad = Reply("x", 1);
  bad.back() ^= 0x01;

  parityErrors_ = 3;  // arose before the frame: forgotten at its STX
  pty_.Write(bad + bad);
  EXPECT_EQ(CodeOf([&] { driver().ReceiveReply(); }), kExcFailure);
  EXPECT_STREQ(driver().szMessage, "Garbled data");
  Sent();

  parityPerCall_ = true;  // errors keep arising while the frame comes in
  pty_.Write(bad + bad);
  EXPECT_EQ(CodeOf([&] { driver().ReceiveReply(); }), kExcPort);
  EXPECT_STREQ(driver().szMessage, "Serial error 4.");
}

TEST_F(LinkTest, EotIsFramedByPausesAndNeverFails) {
  const auto start = std::chrono::steady_clock::now();
  driver().SendEot();
  EXPECT_GE(SecondsSince(start), 0.060);
  EXPECT_EQ(Sent(), kEot);

  pty_.HangUp();
  driver().SendEot();  // a dead line does not matter here
}

}  // namespace
