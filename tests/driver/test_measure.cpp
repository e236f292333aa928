// Whole plate measurements against the simulated readers over a
// pseudo-terminal: one per reader with and one without a reference filter.
// Each takes a little over four seconds (the reader is first asked after
// 4000 ms), so every check of a normal measurement is made on these six.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sim/reader_simulator.h"
#include "tests/driver/operation_fixture.h"

namespace {

using Texts = std::vector<std::string>;

struct Reader {
  sim::Family family;
  int subType;
  const char* name;  // null for DigiScan
  int upperLimit;
  int noValueCode;  // 0 = none
  const char* startSuffix;
  const char* dataRequest[2];
  int blocks[2];
};

const Reader kDigiScan{sim::Family::DigiScan, 0, nullptr, 3200, 0, "", {"Ad1", "Ad2"}, {12, 24}};
const Reader kJupiter{sim::Family::Jupiter, 1, "Jupiter", 4100, 99998, "i4", {"Ax", "Ax"}, {2, 4}};
const Reader kExpert{sim::Family::Expert, 1, "Expert", 4100, 9998, "c0i1", {"Ax", "Ax"}, {6, 12}};

constexpr int kPrimary = 492;    // position 3 of the simulator's filters
constexpr int kReference = 620;  // position 5

// What the plate must hold for a well, from the readings the simulator sent.
int32_t ExpectedWell(const Reader& reader, const sim::ReaderSimulator& sim, bool withReference,
                     int well) {
  const auto stored = [&](int raw) -> int32_t {
    if (reader.noValueCode != 0 && raw == reader.noValueCode) return -1;
    return raw < -100 || raw > reader.upperLimit ? 9999 : raw;
  };
  const int32_t primary = stored(sim.Reading(kPrimary, well));
  if (!withReference) return primary;
  const int32_t reference = stored(sim.Reading(kReference, well));
  return primary > reader.upperLimit || reference > reader.upperLimit ? 9999 : primary - reference;
}

// The status texts in the order the measurement goes through its phases.
void ExpectStatusPhases(const Texts& status, const Reader& reader, int blocks) {
  size_t i = 0;
  const auto next = [&] { return i < status.size() ? status[i++] : std::string("<none>"); };
  EXPECT_EQ(next(), "started");
  EXPECT_EQ(next(), "connected");
  if (reader.name != nullptr) {
    EXPECT_EQ(next(), reader.name);
  }
  EXPECT_EQ(next(), "filters");
  if (reader.family == sim::Family::Jupiter) {
    for (int count = 1; i < status.size() && status[i] == "preparing"; ++count) {
      ++i;
      EXPECT_EQ(next(), "ready test (" + std::to_string(count) + ")");
    }
  }
  EXPECT_EQ(next(), "measuring");
  int checks = 0;
  while (i < status.size() && status[i].rfind("check(", 0) == 0)
    EXPECT_EQ(next(), "check(" + std::to_string(++checks) + ")");
  EXPECT_GE(checks, 1);
  EXPECT_EQ(next(), "data ready");
  for (int b = 1; b <= blocks; ++b)
    EXPECT_EQ(next(), std::to_string(b) + " / " + std::to_string(blocks));
  EXPECT_EQ(next(), "success");
  EXPECT_EQ(i, status.size());
}

class MeasureTest : public OperationTest {
 protected:
  void MeasureAndCheck(const Reader& reader, bool withReference) {
    sim::Options options;
    options.family = reader.family;
    options.overflow = true;
    options.noValueWells = true;
    options.measureMs = 300;
    sim::PtySimulator simulator(options);
    const sim::ReaderSimulator& sim = simulator.reader();
    Open(simulator.slavePath(), reader.subType);

    std::vector<int32_t> plate(96, 9999);
    ASSERT_EQ(Run(Measure(plate.data(), kPrimary, withReference ? kReference : 0)), kMeasureDone);

    for (int well = 0; well < 96; ++well)
      EXPECT_EQ(plate[well], ExpectedWell(reader, sim, withReference, well))
          << "well " << static_cast<char>('A' + well / 12) << well % 12 + 1;
    // The simulator's overflow wells and "no value" wells did come through.
    EXPECT_NE(std::count(plate.begin(), plate.end(), 9999), 0);
    if (reader.noValueCode != 0 && !withReference) {
      EXPECT_NE(std::count(plate.begin(), plate.end(), -1), 0);
    }

    const std::string start =
        std::string("Sf3") + (withReference ? "f5" : "") + reader.startSuffix + "x3G";
    Texts commands{"E", "Q+"};
    if (reader.subType != 0) commands.push_back("F");
    for (const char* c : {"Ap", "Af"}) commands.push_back(c);
    commands.push_back(start);
    commands.push_back("Q+");
    if (reader.family == sim::Family::Jupiter) {
      commands.push_back("SgG");
      commands.push_back("Q+");
    }
    commands.push_back(reader.dataRequest[withReference]);
    EXPECT_EQ(FoldPolls(sim.Commands()), commands);
    EXPECT_EQ(sim.EotCount(), 1);

    ExpectStatusPhases(dialog().StatusTexts(), reader, reader.blocks[withReference]);
    const Texts questions = dialog().Questions();
    if (reader.family == sim::Family::Jupiter) {
      EXPECT_EQ(questions, Texts{"Confirm: Insert a plate and click OK\r\n"});
    } else {
      EXPECT_TRUE(questions.empty());
    }
    EXPECT_STREQ(driver().szReaderId, "12345");
  }
};

TEST_F(MeasureTest, DigiScanWithoutReference) {
  MeasureAndCheck(kDigiScan, false);
}
TEST_F(MeasureTest, DigiScanWithReference) {
  MeasureAndCheck(kDigiScan, true);
}
TEST_F(MeasureTest, JupiterWithoutReference) {
  MeasureAndCheck(kJupiter, false);
}
TEST_F(MeasureTest, JupiterWithReference) {
  MeasureAndCheck(kJupiter, true);
}
TEST_F(MeasureTest, ExpertWithoutReference) {
  MeasureAndCheck(kExpert, false);
}
TEST_F(MeasureTest, ExpertWithReference) {
  MeasureAndCheck(kExpert, true);
}

}  // namespace
