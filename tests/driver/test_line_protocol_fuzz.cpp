// Hostile byte streams against the receiving side: whatever the line
// delivers, the link ends with its text in bounds or with an ordinary
// failure, and never writes past its buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "driver/foto.h"
#include "tests/driver/frame_bytes.h"
#include "tests/driver/scripted_port.h"

namespace {

// Bytes weighted toward the ones the protocol reacts to.
std::string Noise(std::mt19937& random, size_t length) {
  static const char kInteresting[] = {0x02, 0x03, 0x04, 0x05, 0x06, 0x15, 0x00, '\x80', '\xFF'};
  std::string bytes;
  for (size_t i = 0; i < length; ++i) {
    if (random() % 3 == 0) {
      bytes += kInteresting[random() % sizeof kInteresting];
    } else {
      bytes += static_cast<char>(random() % 256);
    }
  }
  return bytes;
}

void ExpectBuffersIntact(const TRodeFoto& driver) {
  EXPECT_GE(driver.nLineLen, 0);
  EXPECT_LE(driver.nLineLen, 1023);
  EXPECT_NE(std::memchr(driver.szLine, '\0', sizeof driver.szLine), nullptr);
  EXPECT_NE(std::memchr(driver.szMessage, '\0', sizeof driver.szMessage), nullptr);
}

TEST(LineProtocolFuzz, RandomRepliesEndInBoundsOrInAnOrdinaryFailure) {
  std::mt19937 random(20240307);
  AbortFlag abort{0};
  for (int round = 0; round < 3000; ++round) {
    TRodeFoto driver(0, static_cast<int>(random() % 2));
    const size_t length = round % 10 == 0 ? 900 + random() % 2400 : random() % 80;
    ScriptedPort port(Noise(random, length), ScriptedPort::WhenDry::kHangUp);
    driver.hPort = &port;
    driver.pbAbort = &abort;
    try {
      driver.ReceiveReply();
      EXPECT_LE(driver.nLineLen, 1022);
      EXPECT_EQ(driver.szLine[driver.nLineLen], '\0');
    } catch (const ESerExc& failure) {
      // The script ran dry (a dead line) or the bytes were no frame.
      EXPECT_TRUE(failure.nCode == kExcPort || failure.nCode == kExcFailure) << failure.nCode;
    }
    ExpectBuffersIntact(driver);
  }
}

TEST(LineProtocolFuzz, AFrameAfterNoiseIsFoundIntact) {
  std::mt19937 random(7);
  AbortFlag abort{0};
  for (int round = 0; round < 500; ++round) {
    const int family = static_cast<int>(random() % 2);
    std::string noise = Noise(random, random() % 64);
    for (char& c : noise) {
      if (c == 0x02) c = 'x';  // noise, not the start of a frame
    }
    std::string text = Noise(random, random() % 200);
    for (char& c : text) {
      if (c == 0x03) c = 'y';
    }
    TRodeFoto driver(0, family);
    ScriptedPort port(noise + frames::Reply(text, family), ScriptedPort::WhenDry::kHangUp);
    driver.hPort = &port;
    driver.pbAbort = &abort;
    ASSERT_NO_THROW(driver.ReceiveReply()) << round;
    EXPECT_EQ(std::string(driver.szLine, driver.nLineLen), text);
    EXPECT_EQ(port.Written(), frames::kAck);
    EXPECT_EQ(port.Unread(), 0u);
  }
}

}  // namespace
