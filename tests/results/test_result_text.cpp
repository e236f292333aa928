#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <clocale>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "results/file_time.h"
#include "results/result_text.h"
#include "results/shared_state.h"
#include "tests/support/result_state_guard.h"

namespace {

uint64_t FileTimeOf(int year, int month, int day, int hour, int minute, int second) {
  std::tm calendar{};
  calendar.tm_year = year - 1900;
  calendar.tm_mon = month - 1;
  calendar.tm_mday = day;
  calendar.tm_hour = hour;
  calendar.tm_min = minute;
  calendar.tm_sec = second;
  return FileTimeFromCalendar(calendar);
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "text must end with CR LF";
  return lines;
}

std::string Well(int32_t value, bool comma) {
  char text[kWellTextSize];
  FormatWellValue(value, comma, text, sizeof text);
  return text;
}

// The worked example: 7 December 2026, 16:20:05, filters 450 and 620.
class ResultTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AppSettings.bDelimComma = 0;
    AppSettings.bIncludeHeader = 1;
    const int32_t rowA[] = {125, 1310, 87, 2004, 0, -12, 333, 333, 9999, 1000, 50, 3200};
    const int32_t rowH[] = {101, 98, 110, 104, 99, 100, 102, 97, 105, 103, 100, 96};
    for (int well = 0; well < kWells; ++well) PlateResult.nValue[well] = 500 + well;
    std::copy(std::begin(rowA), std::end(rowA), PlateResult.nValue);
    std::copy(std::begin(rowH), std::end(rowH), PlateResult.nValue + 7 * kColumns);
    PlateResult.nPrimary = 450;
    PlateResult.nReference = 620;
    PlateResult.ftMeasured = FileTimeOf(2026, 12, 7, 16, 20, 5);
    PlateResult.bValid = 1;
  }

 private:
  ResultStateGuard guard_;
};

TEST_F(ResultTextTest, WorkedExample) {
  const std::vector<std::string> lines = LinesOf(BuildResultText());
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0],
            "0.125\t1.310\t0.087\t2.004\t0.000\t-0.012\t0.333\t0.333\t9.999\t1.000\t0.050\t3.200");
  EXPECT_EQ(lines[1],
            "0.512\t0.513\t0.514\t0.515\t0.516\t0.517\t0.518\t0.519\t0.520\t0.521\t0.522\t0.523");
  EXPECT_EQ(lines[7],
            "0.101\t0.098\t0.110\t0.104\t0.099\t0.100\t0.102\t0.097\t0.105\t0.103\t0.100\t0.096");
  EXPECT_EQ(lines[8], "Filter(s)  450 [nm] / 620 [nm]     07.12.2026  16:20:05");
  for (int row = 0; row < kRows; ++row) {
    EXPECT_EQ(std::count(lines[row].begin(), lines[row].end(), '\t'), 11);
    EXPECT_NE(lines[row].back(), '\t');
  }
}

TEST_F(ResultTextTest, DecimalCommaChangesOnlyTheDelimiter) {
  AppSettings.bDelimComma = 1;
  const std::vector<std::string> lines = LinesOf(BuildResultText());
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0],
            "0,125\t1,310\t0,087\t2,004\t0,000\t-0,012\t0,333\t0,333\t9,999\t1,000\t0,050\t3,200");
  EXPECT_EQ(lines[8], "Filter(s)  450 [nm] / 620 [nm]     07.12.2026  16:20:05");

  EXPECT_EQ(Well(-1000, true), "-1,000");
  EXPECT_EQ(Well(-999, false), "-0.999");
  EXPECT_EQ(Well(3200, false), "3.200");
  EXPECT_EQ(Well(INT_MAX, false), "2147483.647");
  EXPECT_EQ(Well(INT_MIN, true), "-2147483,648");
}

TEST_F(ResultTextTest, NumberFormIgnoresTheProcessLocale) {
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "de_DE")) {
    GTEST_SKIP() << "no German locale installed";
  }
  EXPECT_EQ(Well(-12, false), "-0.012");
  EXPECT_EQ(Well(-12, true), "-0,012");
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST_F(ResultTextTest, HeaderFilterWords) {
  PlateResult.nReference = 0;
  EXPECT_STREQ(BuildResultHeader(), "Filter  450 [nm]     07.12.2026  16:20:05");
  PlateResult.nPrimary = 0;
  EXPECT_STREQ(BuildResultHeader(), "Filter unknown      07.12.2026  16:20:05");
  PlateResult.nReference = 620;
  EXPECT_STREQ(BuildResultHeader(), "Filter   / 620 [nm]     07.12.2026  16:20:05");

  PlateResult.ftMeasured = 0;  // never stamped: no date and no time
  PlateResult.nPrimary = 450;
  EXPECT_STREQ(BuildResultHeader(), "Filter(s)  450 [nm] / 620 [nm]");
}

TEST_F(ResultTextTest, LocaleDateAndTimeFormsByDefault) {
  SetResultDateTimeFormats(nullptr, nullptr);  // "%x" and "%X"
  const std::string saved = std::setlocale(LC_TIME, nullptr);
  std::setlocale(LC_TIME, "C");
  EXPECT_STREQ(BuildResultHeader(), "Filter(s)  450 [nm] / 620 [nm]     12/07/26  16:20:05");
  std::setlocale(LC_TIME, saved.c_str());
}

TEST_F(ResultTextTest, InvalidResultGivesAnEmptyHeader) {
  PlateResult.bValid = 0;
  EXPECT_STREQ(BuildResultHeader(), "");
  std::vector<std::string> lines = LinesOf(BuildResultText());
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[8], "");

  AppSettings.bIncludeHeader = 0;
  lines = LinesOf(BuildResultText());
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[7].substr(0, 6), "0.101\t");
}

TEST_F(ResultTextTest, ExtremeValuesAndLongDatesStayInBounds) {
  for (int well = 0; well < kWells; ++well) PlateResult.nValue[well] = well % 2 ? INT_MIN : INT_MAX;
  PlateResult.nPrimary = INT_MIN;
  PlateResult.nReference = INT_MIN;
  // A locale's forms may be long; one that overruns its buffer is left out.
  const std::string longDate(120, 'D');
  const std::string tooLong(200, 'T');
  SetResultDateTimeFormats(longDate.c_str(), tooLong.c_str());
  const std::string header = BuildResultHeader();
  EXPECT_LT(header.size(), kResultHeaderSize);
  EXPECT_NE(header.find(longDate), std::string::npos);
  EXPECT_EQ(header.find('T'), std::string::npos);

  SetResultDateTimeFormats(longDate.c_str(), longDate.c_str());
  EXPECT_EQ(std::strlen(BuildResultHeader()), kResultHeaderSize - 1);

  const std::string text = BuildResultText();
  EXPECT_EQ(LinesOf(text).size(), 9u);
  EXPECT_GT(text.size(), 1008u) << "more than the old fixed block would hold";

  // The buffer form cuts to its size and says how long the whole text is.
  std::vector<char> block(1009, 'x');
  block.push_back('#');  // a guard byte just past the block
  EXPECT_EQ(BuildResultText(block.data(), 1009), text.size());
  EXPECT_EQ(std::string(block.data()), text.substr(0, 1008));
  EXPECT_EQ(block[1009], '#');

  std::vector<char> exact(text.size() + 1);
  EXPECT_EQ(BuildResultText(exact.data(), exact.size()), text.size());
  EXPECT_EQ(std::string(exact.data()), text);

  char tiny[4];
  EXPECT_EQ(FormatWellValue(INT_MIN, false, tiny, sizeof tiny), 3u);
  EXPECT_STREQ(tiny, "-21");
}

TEST(FileTime, CalendarRoundTrip) {
  EXPECT_EQ(FileTimeOf(1970, 1, 1, 0, 0, 0), 116444736000000000ull);
  EXPECT_EQ(FileTimeOf(1601, 1, 1, 0, 0, 0), 0u);
  EXPECT_EQ(FileTimeOf(1600, 12, 31, 23, 59, 59), 0u) << "before the epoch";

  for (uint64_t fileTime : {FileTimeOf(2024, 2, 29, 23, 59, 59), FileTimeOf(2026, 12, 7, 16, 20, 5),
                            FileTimeOf(2100, 3, 1, 0, 0, 0)}) {
    std::tm calendar{};
    ASSERT_TRUE(FileTimeToCalendar(fileTime + 9'999'999, &calendar));  // fractions drop
    EXPECT_EQ(FileTimeFromCalendar(calendar), fileTime);
  }
  std::tm leap{};
  ASSERT_TRUE(FileTimeToCalendar(FileTimeOf(2024, 2, 29, 23, 59, 59), &leap));
  EXPECT_EQ(leap.tm_mon, 1);
  EXPECT_EQ(leap.tm_mday, 29);
  EXPECT_EQ(leap.tm_wday, 4);  // a Thursday
  EXPECT_EQ(leap.tm_yday, 59);

  std::tm unused{};
  EXPECT_FALSE(FileTimeToCalendar(0x8000'0000'0000'0000ull, &unused));
}

TEST(FileTime, LocalNowIsTheLocalWallClock) {
  const std::time_t before = std::time(nullptr);
  const uint64_t now = FileTimeFromLocalNow();
  std::tm local{};
  localtime_r(&before, &local);
  const uint64_t expected = FileTimeFromCalendar(local);
  EXPECT_NE(now >> 32, 0u);
  EXPECT_GE(now, expected);
  EXPECT_LT(now, expected + 5 * 10'000'000ull);
}

}  // namespace
