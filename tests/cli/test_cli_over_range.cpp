// A well read above the reader's range, from the simulated reader's line to
// every place the read is kept: the plate JSON names it apart from wells
// without a value, the analysis flags its group instead of averaging the
// other replicate, and the archive's record keeps it and gives it back.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "archive/archive_store.h"
#include "archive/plate_read.h"
#include "cli/cli_run.h"
#include "results/shared_state.h"
#include "sim/reader_simulator.h"
#include "tests/support/cli_in_process.h"

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

// The simulator's --overflow spills dark dye into A6, D7 and H8.
const Json kSpilled = {"A6", "D7", "H8"};

const Json* GroupHolding(const Json& analysis, const std::string& well) {
  for (const Json& group : analysis["groups"]) {
    for (const Json& name : group["wells"]) {
      if (name == well) return &group;
    }
  }
  return nullptr;
}

class CliOverRange : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/platovix-over-range-XXXXXX";
    home_ = mkdtemp(pattern);
    setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
    setenv("XDG_DATA_HOME", (home_ / "data").c_str(), 1);
    AppSettings = TAppSettings{};
    bAbort.store(0);
  }
  void TearDown() override { fs::remove_all(home_); }
  fs::path home_;
};

}  // namespace

TEST_F(CliOverRange, AWellAboveTheRangeIsNamedFlaggedAndKept) {
  sim::Options options;
  options.scenario = sim::PlateScenario::Elisa;
  options.overflow = true;
  options.measureMs = 100;
  sim::PtySimulator reader(options);

  const CliRun measured =
      RunCliWith({"--port", reader.slavePath(), "measure", "--primary", "450", "--reference", "620",
                  "--layout", kExampleLayout, "--format", "json"});
  ASSERT_EQ(measured.code, kExitSuccess) << measured.err;
  const Json plate = Json::parse(measured.out);
  EXPECT_TRUE(plate["values"][3][6].is_null()) << "D7 holds no number";
  EXPECT_TRUE(plate["values"][2][6].is_number()) << "its replicate C7 does";
  EXPECT_EQ(plate["overRange"], kSpilled);
  EXPECT_EQ(plate["noValue"], Json::array()) << "every other well was read";

  // S14 is D7 with C7: no mean taken from C7 alone, and the flag says why.
  const Json* group = GroupHolding(plate["analysis"], "D7");
  ASSERT_NE(group, nullptr);
  SCOPED_TRACE(group->dump());
  EXPECT_EQ((*group)["name"], "S14");
  EXPECT_TRUE((*group)["mean"].is_null());
  EXPECT_TRUE((*group)["concentration"].is_null());
  EXPECT_EQ((*group)["overRange"], Json({"D7"}));
  EXPECT_FALSE(group->contains("noValue"));
  EXPECT_EQ((*group)["flag"], "over range: D7");
  // A group without such a well is analysed as before.
  const Json* neighbour = GroupHolding(plate["analysis"], "D8");
  ASSERT_NE(neighbour, nullptr);
  EXPECT_TRUE((*neighbour)["concentration"].is_number());
  EXPECT_FALSE(neighbour->contains("overRange"));

  // The results table as a person reads it.
  const CliRun table =
      RunCliWith({"--port", reader.slavePath(), "measure", "--primary", "450", "--reference", "620",
                  "--layout", kExampleLayout, "--analysis-only", "--no-archive"});
  ASSERT_EQ(table.code, kExitSuccess) << table.err;
  EXPECT_NE(table.out.find("over range: D7"), std::string::npos) << table.out;

  // The archive's record keeps the wells and gives them back, in its own
  // content and through the archive commands.
  std::vector<std::string> messages;
  std::string error;
  auto archive = archive::OpenArchiveForReading({}, &messages, &error);
  ASSERT_TRUE(archive) << error;
  std::vector<archive::PlateRead> reads;
  ASSERT_TRUE(archive->FindReads({}, &reads, &error)) << error;
  ASSERT_EQ(reads.size(), 1u);
  const archive::PlateRead& stored = reads[0];
  int overRange = 0;
  for (uint8_t over : stored.overRange) overRange += over;
  EXPECT_EQ(overRange, 3);
  EXPECT_EQ(stored.overRange[3 * 12 + 6], 1);
  const std::string content = archive::ReadContent(stored);
  EXPECT_NE(content.find(R"("overRange":["A6","D7","H8"])"), std::string::npos) << content;
  archive::PlateRead back;
  ASSERT_TRUE(archive::ParseRead(content, &back));
  EXPECT_EQ(back.overRange, stored.overRange);
  EXPECT_EQ(archive::ReadContent(back), content);

  const CliRun shown = RunCliWith({"archive", "show", stored.uuid, "--format", "json"});
  ASSERT_EQ(shown.code, kExitSuccess) << shown.err;
  EXPECT_EQ(Json::parse(shown.out)["overRange"], kSpilled) << shown.out;
  const CliRun csv = RunCliWith({"archive", "show", stored.uuid, "--format", "csv"});
  ASSERT_EQ(csv.code, kExitSuccess) << csv.err;
  EXPECT_NE(csv.out.find("over range,A6 D7 H8\n"), std::string::npos) << csv.out;
}

// Records without such wells keep the content, and so the hash, they always
// had; a record naming a well that does not exist is refused, not misread.
TEST(ArchiveRecordContent, StaysAsItWasAndRefusesBadOverRangeWells) {
  archive::PlateRead read;
  read.uuid = "0f6c1a52-5a43-4c1e-9d0e-2b1f3c4d5e6f";
  read.plateId = "P-1";
  read.operatorName = "ana";
  read.host = "lab-3";
  read.readerFamily = "DigiScan";
  read.readerId = "12345";
  read.readerDevice = "/dev/ttyS0";
  read.primaryNm = 450;
  read.referenceNm = 620;
  read.started = "2026-12-07T16:20:00+01:00";
  read.completed = "2026-12-07T16:20:05+01:00";
  read.programVersion = "0.1.0";
  for (int i = 0; i < kWells; ++i) read.values[i] = i * 11 - 50;
  read.values[42] = kNoValue;
  read.status = archive::ReadStatus::Aborted;
  read.message = "User aborted.";
  read.assayName = "ELISA";
  read.assayJson = R"({"a":1})";
  read.analysisJson = "{}";
  read.verdict = "Pass";
  read.trace = "t";
  // The hash this record had before reads knew of wells above the range.
  EXPECT_EQ(archive::ContentHash(read),
            "416848e8afe21e3835b25a3ce896a7a6b2d0bdf1ec7c9f21ffede47994803a21");
  const std::string content = archive::ReadContent(read);
  EXPECT_EQ(content.find("overRange"), std::string::npos);

  archive::PlateRead back;
  ASSERT_TRUE(archive::ParseRead(content, &back));
  EXPECT_EQ(archive::ReadContent(back), content) << "every field comes back";

  read.overRange[42] = 1;
  std::string named = archive::ReadContent(read);
  ASSERT_TRUE(archive::ParseRead(named, &back));
  EXPECT_EQ(back.overRange, read.overRange);
  for (const char* bad : {R"(["Z9"])", R"(["D13"])", R"([42])", R"("D7")"}) {
    SCOPED_TRACE(bad);
    Json object = Json::parse(named);
    object["overRange"] = Json::parse(bad);
    EXPECT_FALSE(archive::ParseRead(object.dump(), &back));
  }
}
