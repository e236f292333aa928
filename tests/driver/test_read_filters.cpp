// Filter discovery: the simulated reader for the whole conversation, and a
// scripted one for the odd filter lists and identification texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "sim/reader_simulator.h"
#include "tests/driver/operation_fixture.h"
#include "tests/driver/scripted_reader.h"

namespace {

using Texts = std::vector<std::string>;

class ReadFiltersTest : public OperationTest {
 protected:
  // A filter table as the settings file may leave it: more entries than the
  // reader's six.
  ReadFiltersTest() { std::fill(std::begin(table), std::end(table), 777); }

  // Runs ReadFilters against a reader that answers "Ap" and "Af" as given.
  int RunScripted(const std::string& apReply, const std::string& afReply) {
    reader_ = std::make_unique<ScriptedReader>(
        0, [=](const std::string& command) -> std::optional<std::string> {
          if (command == "Ap") return apReply;
          if (command == "Af") return afReply;
          return "0@";
        });
    Open(reader_->slavePath(), 0);
    std::strcpy(driver().szReaderId, "11111");
    return Run(ReadFilters(table, &count));
  }

  std::vector<int32_t> FirstSeven() const { return {table, table + 7}; }

  int32_t table[20];
  int32_t count = 20;
  std::unique_ptr<ScriptedReader> reader_;
};

TEST_F(ReadFiltersTest, TheSimulatedReadersFiltersFillTheTable) {
  sim::Options options;
  options.filters = {340, 405, 0, 492, 620, 0};
  options.id = "40712";
  sim::PtySimulator reader(options);
  Open(reader.slavePath(), 0);

  EXPECT_EQ(Run(ReadFilters(table, &count)), kFiltersDone);
  EXPECT_EQ(FirstSeven(), (std::vector<int32_t>{340, 405, 0, 492, 620, 0, 777}));
  EXPECT_EQ(count, 6);
  EXPECT_STREQ(driver().szReaderId, "40712");
  EXPECT_EQ(reader.reader().Commands(), (Texts{"E", "Q", "Ap", "Af"}));
  EXPECT_EQ(reader.reader().EotCount(), 1);
  const Texts status = dialog().StatusTexts();
  ASSERT_EQ(status.size(), 4u);
  EXPECT_EQ(status[2], "detected");
  EXPECT_NE(status[3].find("340"), std::string::npos);  // the reader's own answer
}

TEST_F(ReadFiltersTest, ZerosAndALeadingBlankAreKeptAsTheReaderSentThem) {
  EXPECT_EQ(RunScripted("Ap 12345", " 405 450 492 540 0 0"), kFiltersDone);
  EXPECT_EQ(FirstSeven(), (std::vector<int32_t>{405, 450, 492, 540, 0, 0, 777}));
  EXPECT_EQ(count, 6);
  EXPECT_EQ(dialog().StatusTexts(),
            (Texts{"started", "connected", "detected", " 405 450 492 540 0 0"}));
}

TEST_F(ReadFiltersTest, ASeventhNumberIsIgnored) {
  EXPECT_EQ(RunScripted("Ap 12345", "405 450 492 540 620 690 999"), kFiltersDone);
  EXPECT_EQ(FirstSeven(), (std::vector<int32_t>{405, 450, 492, 540, 620, 690, 777}));
  EXPECT_EQ(count, 6);
}

TEST_F(ReadFiltersTest, FewerThanSixNumbersLeaveTheEntriesAndEmptyTheCount) {
  for (const char* reply : {"405 450 492", "405,450,492,540,620,690"}) {
    SCOPED_TRACE(reply);
    count = 20;
    EXPECT_EQ(RunScripted("Ap 12345", reply), kOperationFailed);
    EXPECT_EQ(FirstSeven(), std::vector<int32_t>(7, 777));
    EXPECT_EQ(count, 0);
    EXPECT_EQ(dialog().LastStatus(), "Filters not found.");
    EXPECT_STREQ(driver().szMessage, "Filters not found.");
  }
}

TEST_F(ReadFiltersTest, TheIdentificationNumberIsTheFirstRunOfFiveDigits) {
  EXPECT_EQ(RunScripted("Ap rev12 SNab123456x", "1 2 3 4 5 6"), kFiltersDone);
  EXPECT_STREQ(driver().szReaderId, "12345");
  EXPECT_EQ(dialog().StatusTexts()[2], "detected");

  // Runs of four digits only: the number stays, and nothing is "detected".
  EXPECT_EQ(RunScripted("Ap 1234 5678 9012", "1 2 3 4 5 6"), kFiltersDone);
  EXPECT_STREQ(driver().szReaderId, "11111");
  EXPECT_EQ(dialog().StatusTexts(), (Texts{"started", "connected", "1 2 3 4 5 6"}));
}

}  // namespace
