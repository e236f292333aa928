// The data blocks each family sends for a plate whose readings name their
// wells (405 nm: 100 + well, 620 nm: 300 + well), checked as exact text.
#include <gtest/gtest.h>

#include "tests/sim/sim_fixture.h"

using sim::Family;

namespace {

// Runs a measurement at positions 1 (405 nm) and 5 (620 nm) and fetches its
// blocks; stops early at a missing block.
std::vector<std::string> MeasureAndFetch(ByteClient& client, const std::string& start,
                                         const std::string& transfer, int blocks,
                                         bool jupiter = false) {
  std::vector<std::string> got;
  if (client.Send(start) != ByteClient::ACK) return got;
  if (jupiter && client.Send("SgG") != ByteClient::ACK) return got;
  client.WaitWhileBusy();
  if (client.Send(transfer) != ByteClient::ACK) return got;
  for (int b = 0; b < blocks; ++b) {
    const std::string text = client.Reply();
    if (text == "?") break;
    got.push_back(text);
  }
  return got;
}

}  // namespace

TEST_F(SimTest, DigiScanSendsOneNumberedColumnPerBlock) {
  Start(KnownPlate(Family::DigiScan));
  ASSERT_TRUE(client().Open());
  const auto blocks = MeasureAndFetch(client(), "Sf1f5x3G", "Ad2", 24);
  ASSERT_EQ(blocks.size(), 24u);
  EXPECT_EQ(blocks[0], "  1  100  112  124  136  148  160  172  184");
  EXPECT_EQ(blocks[11], " 12  111  123  135  147  159  171  183  195");
  EXPECT_EQ(blocks[12], "101  300  312  324  336  348  360  372  384");
  EXPECT_EQ(blocks[23], "112  311  323  335  347  359  371  383  395");
  for (const auto& b : blocks) EXPECT_EQ(b.size(), 43u);
  EXPECT_EQ(client().Read(1, 100), "");  // nothing after the last block

  // "Ad1" fetches the primary pass alone.
  const auto primary = MeasureAndFetch(client(), "Sf1f5x3G", "Ad1", 12);
  ASSERT_EQ(primary.size(), 12u);
  EXPECT_EQ(primary[0], blocks[0]);
  EXPECT_EQ(client().Read(1, 100), "");
  // Without a reference pass there is nothing for "Ad2".
  ASSERT_EQ(client().Send("Sf1x3G"), ByteClient::ACK);
  client().WaitWhileBusy();
  ASSERT_EQ(client().Send("Ad2"), ByteClient::ACK);
  EXPECT_EQ(client().Read(1, 100), "");
  EXPECT_EQ(client().Status(), 0x48);
}

TEST_F(SimTest, JupiterSendsSixColumnsPerBlockColumnByColumn) {
  Start(KnownPlate(Family::Jupiter));
  ASSERT_TRUE(client().Open());
  const auto blocks = MeasureAndFetch(client(), "Sf1f5i4x3G", "Ax", 4, true);
  ASSERT_EQ(blocks.size(), 4u);
  EXPECT_EQ(blocks[0],
            "  100  112  124  136  148  160  172  184"
            "  101  113  125  137  149  161  173  185"
            "  102  114  126  138  150  162  174  186"
            "  103  115  127  139  151  163  175  187"
            "  104  116  128  140  152  164  176  188"
            "  105  117  129  141  153  165  177  189");
  EXPECT_EQ(blocks[3],
            "  306  318  330  342  354  366  378  390"
            "  307  319  331  343  355  367  379  391"
            "  308  320  332  344  356  368  380  392"
            "  309  321  333  345  357  369  381  393"
            "  310  322  334  346  358  370  382  394"
            "  311  323  335  347  359  371  383  395");
  EXPECT_EQ(blocks[1].size(), 240u);
  EXPECT_EQ(client().Read(1, 100), "");
  // Without a reference: two blocks.
  EXPECT_EQ(MeasureAndFetch(client(), "Sf1i4x3G", "Ax", 2, true).size(), 2u);
  EXPECT_EQ(client().Read(1, 100), "");
}

TEST_F(SimTest, ExpertSendsTwoColumnsPerBlock) {
  Start(KnownPlate(Family::Expert));
  ASSERT_TRUE(client().Open());
  const auto blocks = MeasureAndFetch(client(), "Sf1f5c0i1x3G", "Ax", 12);
  ASSERT_EQ(blocks.size(), 12u);
  EXPECT_EQ(blocks[0], " 100 112 124 136 148 160 172 184 101 113 125 137 149 161 173 185");
  EXPECT_EQ(blocks[6], " 300 312 324 336 348 360 372 384 301 313 325 337 349 361 373 385");
  EXPECT_EQ(blocks[11], " 310 322 334 346 358 370 382 394 311 323 335 347 359 371 383 395");
  EXPECT_EQ(client().Read(1, 100), "");
  EXPECT_EQ(MeasureAndFetch(client(), "Sf1c0i1x3G", "Ax", 6).size(), 6u);
  EXPECT_EQ(client().Read(1, 100), "");
}

TEST_F(SimTest, ReadingMatchesWhatGoesOverTheLine) {
  sim::Options o = FastOptions(Family::Expert);
  o.seed = 77;
  o.overflow = true;
  o.noValueWells = true;
  Start(o);
  ASSERT_TRUE(client().Open());
  const auto blocks = MeasureAndFetch(client(), "Sf3c0i1x3G", "Ax", 6);  // 492 nm
  ASSERT_EQ(blocks.size(), 6u);
  for (int b = 0; b < 6; ++b) {
    for (int j = 0; j < 16; ++j) {
      const int well = (j % 8) * 12 + 2 * b + j / 8;
      EXPECT_EQ(std::stoi(blocks[b].substr(4 * j, 4)), reader().Reading(492, well)) << well;
    }
  }
}
