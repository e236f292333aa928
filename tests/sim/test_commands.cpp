// What the simulated reader answers and does for each command of the
// program's command language, per family.
#include <gtest/gtest.h>

#include <thread>

#include "tests/sim/sim_fixture.h"

using sim::Family;

TEST_F(SimTest, IdentificationRepliesPerFamily) {
  struct Case {
    Family family;
    char idle;
    bool jupiterModel;
  };
  for (const Case c : {Case{Family::DigiScan, '@', false}, Case{Family::Jupiter, 'D', true},
                       Case{Family::Expert, 'D', false}}) {
    sim::Options o = FastOptions(c.family);
    o.id = "40417";
    o.filters = {340, 0, 450, 492, 0, 620};
    Start(o);
    ASSERT_TRUE(client().Open());
    EXPECT_EQ(client().Exchange("E"), "E0");
    EXPECT_EQ(client().Exchange("Q"), std::string("Q") + c.idle);
    const std::string model = client().Exchange("F");
    EXPECT_EQ(model.rfind("FSCH", 0) == 0, c.jupiterModel) << model;
    EXPECT_NE(client().Exchange("Ap").find("40417"), std::string::npos);
    EXPECT_EQ(client().Exchange("Af"), "340 0 450 492 0 620");
    client().End();
    client_.reset();
    sim_.reset();
  }
}

TEST_F(SimTest, UnknownCommandIsAcknowledgedThenReportedAsSyntaxError) {
  Start(FastOptions(Family::DigiScan));
  ASSERT_TRUE(client().Open());
  EXPECT_EQ(client().Send("Zz9"), ByteClient::ACK);
  EXPECT_EQ(client().Status(), 0x48);
  EXPECT_EQ(client().Status(), 0x48);  // stays until read out
  EXPECT_EQ(client().Exchange("E"), "E1");
  EXPECT_EQ(client().Status(), '@');
  EXPECT_EQ(client().Exchange("E"), "E0");
}

TEST_F(SimTest, StartCommandMustMatchTheFamily) {
  struct Case {
    Family family;
    const char* good;
    const char* foreign;
  };
  for (const Case c : {Case{Family::DigiScan, "Sf2x3G", "Sf2i4x3G"},
                       Case{Family::Jupiter, "Sf1f4i4x3G", "Sf1f4c0i1x3G"},
                       Case{Family::Expert, "Sf3f5c0i1x3G", "Sf3f5x3G"}}) {
    Start(FastOptions(c.family));
    ASSERT_TRUE(client().Open());
    EXPECT_EQ(client().Send(c.foreign), ByteClient::ACK);
    EXPECT_EQ(client().Status(), 0x48) << c.foreign;
    EXPECT_EQ(client().Exchange("E"), "E1");
    EXPECT_EQ(client().Send(c.good), ByteClient::ACK);
    const char status = client().Status();
    EXPECT_EQ(status, c.family == Family::Jupiter ? '`' : 'A') << c.good;
    client_.reset();
    sim_.reset();
  }
}

TEST_F(SimTest, MeasurementWithAnEmptyFilterPositionIsAReaderError) {
  sim::Options o = FastOptions(Family::Expert);
  o.filters = {405, 0, 492, 540, 620, 690};
  Start(o);
  ASSERT_TRUE(client().Open());
  EXPECT_EQ(client().Send("Sf1f2c0i1x3G"), ByteClient::ACK);
  EXPECT_EQ(client().Status(), 0x50);
  const std::string e = client().Exchange("E");
  ASSERT_EQ(e.size(), 2u);
  EXPECT_NE(e[1] & 0x0F, 0);
  EXPECT_EQ(client().Status(), 'D');
  // And no data to fetch.
  EXPECT_EQ(client().Send("Ax"), ByteClient::ACK);
  EXPECT_EQ(client().Read(1, 150), "");
  EXPECT_EQ(client().Status(), 0x48);
}

TEST_F(SimTest, JupiterWaitsForThePlateUntilGoOrCancel) {
  Start(FastOptions(Family::Jupiter));
  ASSERT_TRUE(client().Open());
  ASSERT_EQ(client().Send("Sf1i4x3G"), ByteClient::ACK);
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  EXPECT_EQ(client().Status(), '`');  // waits however long it takes
  ASSERT_EQ(client().Send("IG"), ByteClient::ACK);
  EXPECT_EQ(client().Status(), 'D');
  ASSERT_EQ(client().Send("Sf1i4x3G"), ByteClient::ACK);
  ASSERT_EQ(client().Send("SgG"), ByteClient::ACK);
  EXPECT_EQ(client().Status(), 'A');
  EXPECT_EQ(client().WaitWhileBusy(), 'D');
  // "SgG" with no plate asked for is not understood.
  ASSERT_EQ(client().Send("SgG"), ByteClient::ACK);
  EXPECT_EQ(client().Status(), 0x48);
}

TEST_F(SimTest, CarrierCommandsKeepTheReaderBusyThenIdle) {
  struct Case {
    Family family;
    std::vector<std::string> known;
    std::string foreign;
    char idle;
  };
  for (const Case& c : {Case{Family::DigiScan, {"Mm2000G", "IG"}, "Mx1jG", '@'},
                        Case{Family::Jupiter, {"IG", "Mx1jG", "Mx0m3000G"}, "Mm2000G", 'D'},
                        Case{Family::Expert, {"Mm2000G", "IG"}, "Mx0m3000G", 'D'}}) {
    Start(FastOptions(c.family));
    ASSERT_TRUE(client().Open());
    for (const std::string& move : c.known) {
      ASSERT_EQ(client().Send(move), ByteClient::ACK);
      EXPECT_EQ(client().Status(), 'A') << move;
      EXPECT_EQ(client().WaitWhileBusy(), c.idle) << move;
    }
    ASSERT_EQ(client().Send(c.foreign), ByteClient::ACK);
    EXPECT_EQ(client().Status(), 0x48) << c.foreign;
    client_.reset();
    sim_.reset();
  }
}

TEST_F(SimTest, CalibrationInEachFamilysFormSetsThePosition) {
  // The DigiScan writes the wavelength without leading zeros, the others in
  // three digits; each rejects the other's form of a cleared position.
  struct Case {
    Family family;
    const char* clear;
    const char* foreign;
  };
  for (const Case c :
       {Case{Family::DigiScan, "Jf30G", "Jf3000G"}, Case{Family::Expert, "Jf3000G", "Jf30G"}}) {
    Start(FastOptions(c.family));
    ASSERT_TRUE(client().Open());
    ASSERT_EQ(client().Send("Jf2572G"), ByteClient::ACK);
    EXPECT_EQ(client().Status(), 'A');
    // Done is '@' for every family: the program waits for '@' or '`' here.
    EXPECT_EQ(client().WaitWhileBusy(), '@');
    ASSERT_EQ(client().Send(c.clear), ByteClient::ACK);
    EXPECT_EQ(client().WaitWhileBusy(), '@');
    EXPECT_EQ(client().Exchange("Af"), "405 572 0 540 620 690");
    EXPECT_EQ(reader().Filters(), (std::array<int, 6>{405, 572, 0, 540, 620, 690}));
    ASSERT_EQ(client().Send(c.foreign), ByteClient::ACK);
    EXPECT_EQ(client().Status(), 0x48) << c.foreign;
    client_.reset();
    sim_.reset();
  }
}

TEST_F(SimTest, CommandLogKeepsEveryGoodCommandInOrder) {
  Start(FastOptions(Family::DigiScan));
  ASSERT_TRUE(client().Open());
  client().Exchange("E");
  client().Exchange("Q");
  client().Send("Mm2000G");
  EXPECT_EQ(reader().Commands(), (std::vector<std::string>{"E", "Q", "Mm2000G"}));
  reader().ClearLog();
  EXPECT_TRUE(reader().Commands().empty());
}
