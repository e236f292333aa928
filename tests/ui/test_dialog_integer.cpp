#include <gtest/gtest.h>

#include "ui/dialog_integer.h"

namespace {

bool Reads(const char* text, int expected) {
  int value = -12345;
  return ParseDialogInteger(text, &value) && value == expected;
}

bool Fails(const char* text) {
  int value = 77;
  return !ParseDialogInteger(text, &value) && value == 77;
}

TEST(DialogIntegerTest, ReadsSignedNumbersWithBlanksAround) {
  EXPECT_TRUE(Reads("450", 450));
  EXPECT_TRUE(Reads("  405", 405));
  EXPECT_TRUE(Reads("\t620 ", 620));
  EXPECT_TRUE(Reads("-5", -5));
  EXPECT_TRUE(Reads("0", 0));
  EXPECT_TRUE(Reads("007", 7));
  EXPECT_TRUE(Reads("2147483647", 2147483647));
  EXPECT_TRUE(Reads("-2147483648", -2147483647 - 1));
}

TEST(DialogIntegerTest, RefusesWhatIsNotAWholeNumber) {
  EXPECT_TRUE(Fails(""));
  EXPECT_TRUE(Fails("   "));
  EXPECT_TRUE(Fails("abc"));
  EXPECT_TRUE(Fails("-"));
  EXPECT_TRUE(Fails("+5"));
  EXPECT_TRUE(Fails("- 5"));
  EXPECT_TRUE(Fails("450nm"));  // a unit behind the number is not dropped silently
  EXPECT_TRUE(Fails("45O"));
  EXPECT_TRUE(Fails("4.5"));
  EXPECT_TRUE(Fails("2147483648"));
  EXPECT_TRUE(Fails("-99999999999"));
}

}  // namespace
