// Every fault fires exactly once when asked for once, and the line is back
// to normal after it.
#include <gtest/gtest.h>

#include <thread>

#include "tests/sim/sim_fixture.h"

using sim::Family;
using sim::Fault;

namespace {

// Starts a DigiScan measurement at 405 nm (and 620 nm) and asks for its data.
bool RequestData(ByteClient& client, bool reference = false) {
  return client.Send(reference ? "Sf1f5x3G" : "Sf1x3G") == ByteClient::ACK &&
         client.WaitWhileBusy() == '@' && client.Send(reference ? "Ad2" : "Ad1") == ByteClient::ACK;
}

std::vector<std::string> Blocks(ByteClient& client, int count) {
  std::vector<std::string> blocks;
  for (int b = 0; b < count; ++b) {
    const std::string text = client.Reply();
    if (text == "?") break;
    blocks.push_back(text);
  }
  return blocks;
}

}  // namespace

class FaultTest : public SimTest {
 protected:
  void SetUp() override {
    Start(KnownPlate(Family::DigiScan));
    ASSERT_TRUE(client().Open());
  }
};

TEST_F(FaultTest, NakCommandRefusesOneGoodFrame) {
  reader().InjectFault(Fault::NakCommand);
  EXPECT_EQ(client().Send("Q"), ByteClient::NAK);
  EXPECT_EQ(client().Send("Q"), ByteClient::ACK);
  EXPECT_EQ(client().Reply(), "Q@");
  EXPECT_EQ(client().Exchange("Q"), "Q@");
  // Twice: the program's one resend is refused as well.
  reader().InjectFault(Fault::NakCommand, 2);
  EXPECT_EQ(client().Send("E"), ByteClient::NAK);
  EXPECT_EQ(client().Send("E"), ByteClient::NAK);
  EXPECT_EQ(client().Exchange("E"), "E0");
  EXPECT_EQ(reader().Commands(), (std::vector<std::string>{"Q", "Q", "E"}));
}

TEST_F(FaultTest, CorruptReplyCheckSpoilsOneSending) {
  reader().InjectFault(Fault::CorruptReplyCheck);
  ASSERT_EQ(client().Send("Q"), ByteClient::ACK);
  std::string text;
  EXPECT_FALSE(client().Parse(client().RawReply(), &text));
  client().Write(std::string(1, ByteClient::NAK));
  EXPECT_EQ(client().Reply(), "Q@");  // the repetition is good
  EXPECT_EQ(client().Exchange("Q"), "Q@");
  // Twice: the repetition is spoilt too.
  reader().InjectFault(Fault::CorruptReplyCheck, 2);
  ASSERT_EQ(client().Send("Q"), ByteClient::ACK);
  EXPECT_FALSE(client().Parse(client().RawReply(), &text));
  client().Write(std::string(1, ByteClient::NAK));
  EXPECT_FALSE(client().Parse(client().RawReply(), &text));
  client().Write(std::string(1, ByteClient::NAK));
  EXPECT_EQ(client().Reply(), "Q@");
}

TEST_F(FaultTest, StrayBytesComeBeforeOneReply) {
  reader().InjectFault(Fault::StrayBytes, 1, 63);
  ASSERT_EQ(client().Send("Q"), ByteClient::ACK);
  const std::string raw = client().RawReply();
  EXPECT_EQ(raw.find(ByteClient::STX), 63u);
  std::string text;
  EXPECT_TRUE(client().Parse(raw, &text));
  client().Write(std::string(1, ByteClient::ACK));
  ASSERT_EQ(client().Send("Q"), ByteClient::ACK);
  EXPECT_EQ(client().RawReply().find(ByteClient::STX), 0u);
  client().Write(std::string(1, ByteClient::ACK));
}

TEST_F(FaultTest, SilentBeforeAckSwallowsOneCommand) {
  reader().InjectFault(Fault::SilentBeforeAck);
  EXPECT_EQ(client().Send("Q", 300), -1);
  EXPECT_EQ(client().Exchange("Q"), "Q@");
}

TEST_F(FaultTest, SilentMidReplyStopsHalfwayOnce) {
  reader().InjectFault(Fault::SilentMidReply);
  ASSERT_EQ(client().Send("Af"), ByteClient::ACK);
  const std::string got = client().Read(100, 300);
  EXPECT_EQ(got,
            "\x02"
            "405 450 492");
  EXPECT_EQ(client().Exchange("Q"), "Q@");
}

TEST_F(FaultTest, SilentBeforeBlockStopsOneTransfer) {
  reader().InjectFault(Fault::SilentBeforeBlock, 1, 3);
  ASSERT_TRUE(RequestData(client()));
  EXPECT_EQ(Blocks(client(), 3).size(), 3u);
  EXPECT_EQ(client().Read(1, 200), "");
  EXPECT_EQ(client().Exchange("Q"), "Q@");  // the reader listens again
  ASSERT_TRUE(RequestData(client()));
  EXPECT_EQ(Blocks(client(), 12).size(), 12u);
}

TEST_F(FaultTest, HangUpMidTransferDropsTheLineOnce) {
  reader().InjectFault(Fault::HangUpMidTransfer);
  ASSERT_TRUE(RequestData(client(), true));
  EXPECT_EQ(Blocks(client(), 24).size(), 12u);  // half of the blocks, then half a block
  EXPECT_TRUE(client().HungUp(500));
  // The simulator carries on behind the same path.
  client_ = std::make_unique<ByteClient>(sim_->slavePath(), 0);
  ASSERT_TRUE(client().ok());
  // The simulator may still be setting up its new line on a loaded machine.
  ASSERT_TRUE(client().Open(5000));
  ASSERT_TRUE(RequestData(client(), true));
  EXPECT_EQ(Blocks(client(), 24).size(), 24u);
}

TEST_F(FaultTest, ReaderAndSyntaxErrorsShowAtOneStatusPoll) {
  reader().InjectFault(Fault::ReaderError);
  EXPECT_EQ(client().Status(), 0x50);
  EXPECT_EQ(client().Exchange("E"), "E7");
  EXPECT_EQ(client().Status(), '@');
  reader().InjectFault(Fault::ReaderError, 1, 12);
  EXPECT_EQ(client().Status(), 0x50);
  EXPECT_EQ(client().Exchange("E"), "E<");  // 0x3C: error 12 in the low four bits
  reader().InjectFault(Fault::SyntaxError);
  EXPECT_EQ(client().Status(), 0x48);
  EXPECT_EQ(client().Exchange("E"), "E1");
  EXPECT_EQ(client().Status(), '@');
  // An error ends a running measurement.
  reader().InjectFault(Fault::ReaderError);
  ASSERT_EQ(client().Send("Sf1x3G"), ByteClient::ACK);
  EXPECT_EQ(client().Status(), 0x50);
  client().Exchange("E");
  EXPECT_EQ(client().Status(), '@');
  ASSERT_EQ(client().Send("Ad1"), ByteClient::ACK);
  EXPECT_EQ(client().Read(1, 100), "");
}

TEST_F(FaultTest, StuckBusyHoldsTheStatus) {
  reader().InjectFault(Fault::StuckBusy);
  EXPECT_EQ(client().Status(), 'A');
  EXPECT_EQ(client().Status(), '@');
  reader().InjectFault(Fault::StuckBusy, -1);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(client().Status(), 'A');
  reader().ClearFaults();
  EXPECT_EQ(client().Status(), '@');
}

TEST_F(FaultTest, BlockFaultsSpoilOneBlockEach) {
  reader().InjectFault(Fault::ShortBlock);
  ASSERT_TRUE(RequestData(client()));
  auto blocks = Blocks(client(), 12);
  ASSERT_EQ(blocks.size(), 12u);
  EXPECT_EQ(blocks[0], "  1  100  112  124  136  148  160  172  18");
  EXPECT_EQ(blocks[1].size(), 43u);

  reader().InjectFault(Fault::LongBlock);
  ASSERT_TRUE(RequestData(client()));
  blocks = Blocks(client(), 12);
  EXPECT_EQ(blocks[0], "  1  100  112  124  136  148  160  172  184 ");
  EXPECT_EQ(blocks[1].size(), 43u);

  reader().InjectFault(Fault::BlockOutOfSequence);
  ASSERT_TRUE(RequestData(client()));
  blocks = Blocks(client(), 12);
  EXPECT_EQ(blocks[0].substr(0, 3), "  2");
  EXPECT_EQ(blocks[1].substr(0, 3), "  2");
  EXPECT_EQ(blocks[2].substr(0, 3), "  3");

  reader().InjectFault(Fault::BlankField, 1, 2);
  ASSERT_TRUE(RequestData(client()));
  blocks = Blocks(client(), 12);
  EXPECT_EQ(blocks[0], "  1  100  112       136  148  160  172  184");
  EXPECT_EQ(blocks[1], "  2  101  113  125  137  149  161  173  185");
}

TEST(FaultOnJupiter, BlankFieldAndShortBlockUseTheFamilysLayout) {
  sim::PtySimulator sim(FastOptions(Family::Jupiter));
  ByteClient client(sim.slavePath(), 1);
  ASSERT_TRUE(client.Open());
  sim.reader().InjectFault(Fault::BlankField, 1, 47);
  ASSERT_EQ(client.Send("Sf2i4x3G"), ByteClient::ACK);
  ASSERT_EQ(client.Send("SgG"), ByteClient::ACK);
  ASSERT_EQ(client.WaitWhileBusy(), 'D');
  ASSERT_EQ(client.Send("Ax"), ByteClient::ACK);
  const std::string first = client.Reply();
  ASSERT_EQ(first.size(), 240u);
  EXPECT_EQ(first.substr(235), "     ");
  EXPECT_NE(first.substr(230, 5), "     ");
}
