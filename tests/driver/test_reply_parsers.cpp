#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "link/reply_parsers.h"

TEST(ParseInt, ReadsSignedNumbersAfterBlanks) {
  bool noDigits = true;
  EXPECT_EQ(ParseInt("  -12x", 0, &noDigits), -12);
  EXPECT_FALSE(noDigits);
  EXPECT_EQ(ParseInt("+7", 0, &noDigits), 7);
  EXPECT_EQ(ParseInt("0042", 0), 42);
  EXPECT_EQ(ParseInt("12345", 3), 123);  // the callers read fixed-width fields
  EXPECT_EQ(ParseInt("  12", 3), 1);     // blanks count toward the width
}

TEST(ParseInt, ReportsAMissingNumber) {
  bool noDigits = false;
  EXPECT_EQ(ParseInt("+", 0, &noDigits), 0);
  EXPECT_TRUE(noDigits);
  noDigits = false;
  EXPECT_EQ(ParseInt("- 5", 0, &noDigits), 0);  // a blank after the sign ends it
  EXPECT_TRUE(noDigits);
  noDigits = false;
  EXPECT_EQ(ParseInt("\t5", 0, &noDigits), 0);  // only the blank is skipped
  EXPECT_TRUE(noDigits);
  noDigits = false;
  EXPECT_EQ(ParseInt("", 0, &noDigits), 0);
  EXPECT_TRUE(noDigits);
  EXPECT_EQ(ParseInt("12 3", 0), 12);
  EXPECT_EQ(ParseInt("--1", 0), 0);
}

TEST(ParseInt, SaturatesInsteadOfOverflowing) {
  EXPECT_EQ(ParseInt("2147483647", 0), INT_MAX);
  EXPECT_EQ(ParseInt("-2147483648", 0), INT_MIN);
  EXPECT_EQ(ParseInt("2147483648", 0), INT_MAX);
  EXPECT_EQ(ParseInt("-99999999999", 0), INT_MIN);
  const std::string huge(300, '9');
  bool noDigits = true;
  EXPECT_EQ(ParseInt(huge.c_str(), 0, &noDigits), INT_MAX);  // 255 characters looked at
  EXPECT_FALSE(noDigits);
  EXPECT_EQ(ParseInt(huge.c_str(), 1000), INT_MAX);
}

TEST(ParseSixInts, ReadsSixNumbersAsScanfWould) {
  int values[6] = {};
  EXPECT_FALSE(ParseSixInts(" 405\t+450\n-1 0 620 690 extra", values));
  const int expected[6] = {405, 450, -1, 0, 620, 690};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(values[i], expected[i]) << i;
  EXPECT_FALSE(ParseSixInts("1 2 3 4 5 6x", values));  // stops at the first non-digit
  EXPECT_EQ(values[5], 6);
  EXPECT_FALSE(ParseSixInts("1-2-3-4-5-6", values));  // a sign starts the next number
  EXPECT_EQ(values[1], -2);
}

TEST(ParseSixInts, FailsWithoutTouchingTheValues) {
  const int before[6] = {1, 2, 3, 4, 5, 6};
  const char* bad[] = {"405 450 540 620 690",  // five numbers
                       "",
                       "1 2 3 + 5 6",  // a sign alone
                       "1 2 3 - 5 6",
                       "a 1 2 3 4 5 6",
                       "1 2 3 4 5 2147483648",  // beyond the int range
                       "1 2 3 4 5 -2147483649",
                       "1 2 3 4 5 99999999999999999999999999999"};
  for (const char* text : bad) {
    int values[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_TRUE(ParseSixInts(text, values)) << text;
    for (int i = 0; i < 6; ++i) EXPECT_EQ(values[i], before[i]) << text;
  }
  int values[6] = {};
  EXPECT_FALSE(ParseSixInts("2147483647 -2147483648 0 0 0 0", values));
  EXPECT_EQ(values[0], INT_MAX);
  EXPECT_EQ(values[1], INT_MIN);
}

TEST(FindDigitRun, FindsTheFirstRunOfFiveDigits) {
  const char* text = "ab1234c56789";
  EXPECT_EQ(FindDigitRun(text), text + 7);
  const char* id = "Jupiter 12345678";
  EXPECT_EQ(FindDigitRun(id), id + 8);
  EXPECT_EQ(FindDigitRun("1234"), nullptr);
  EXPECT_EQ(FindDigitRun("1234 5678"), nullptr);
  EXPECT_EQ(FindDigitRun(""), nullptr);
  const char* start = "54321";
  EXPECT_EQ(FindDigitRun(start), start);
}

TEST(FindFilterSlot, FindsNonZeroEntriesOnly) {
  const int list[6] = {405, 0, 450, 0, 0, 450};
  EXPECT_EQ(FindFilterSlot(list, 450), 3);  // the first match
  EXPECT_EQ(FindFilterSlot(list, 405), 1);
  EXPECT_EQ(FindFilterSlot(list, 0), 0);
  EXPECT_EQ(FindFilterSlot(list, 620), 0);
}
