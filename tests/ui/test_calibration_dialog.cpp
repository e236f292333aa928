#include <QCheckBox>
#include <QTest>

#include "tests/ui/ui_test_support.h"
#include "ui/calibration_dialog.h"

namespace {

const char kClearHint[] = "To clear a specific filter\r\nyou have to enter 0 (zero).";
const char kWrongValue[] = "Wrong filter value.";

class CalibrationDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    ResetProgramState();
  }

  static void Check(CalibrationDialog& dialog, int position, bool checked = true) {
    auto* box = qobject_cast<QCheckBox*>(dialog.Item(140 + position));
    if (box->isChecked() != checked) box->click();
  }
  static void Enter(CalibrationDialog& dialog, int position, const char* text) {
    dialog.SetItemText(150 + position, text);
  }
  // Presses OK; returns the result, or 0 when the dialog stays open.
  static int PressOk(CalibrationDialog& dialog) {
    dialog.setResult(0);
    dialog.SendCommand(1);
    return dialog.result();
  }

  BoxRecorder boxes_;
};

TEST_F(CalibrationDialogTest, StartsFromTheFilterTableWithNothingChecked) {
  {
    CalibrationDialog empty(nullptr, nullptr);
    for (int p = 1; p <= 6; ++p) {
      EXPECT_EQ(empty.ItemText(150 + p), "0");
      EXPECT_FALSE(empty.IsChecked(140 + p));
    }
    EXPECT_FALSE(empty.Item(1)->isEnabled());
  }
  FilterTable.nCount = 3;
  FilterTable.nWavelength[0] = 405;
  FilterTable.nWavelength[1] = 450;
  FilterTable.nWavelength[3] = 540;  // beyond the count: not shown
  FilterTable.bCalibrate[0] = 1;
  CalibrationDialog dialog(nullptr, nullptr);
  const char* expected[] = {"405", "450", "0", "0", "0", "0"};
  for (int p = 1; p <= 6; ++p) EXPECT_EQ(dialog.ItemText(150 + p), expected[p - 1]) << p;
  EXPECT_EQ(FilterTable.bCalibrate[0], 0);
}

TEST_F(CalibrationDialogTest, OkIsEnabledOnlyWhilePositionsAreChecked) {
  CalibrationDialog dialog(nullptr, nullptr);
  Check(dialog, 4);
  EXPECT_TRUE(dialog.Item(1)->isEnabled());
  EXPECT_EQ(FilterTable.bCalibrate[3], 1);
  Check(dialog, 6);
  EXPECT_EQ(dialog.UpdateCalibrationSelection(), 2);
  Check(dialog, 4, false);
  Check(dialog, 6, false);
  EXPECT_FALSE(dialog.Item(1)->isEnabled());
  EXPECT_EQ(FilterTable.bCalibrate[3], 0);
  EXPECT_EQ(PressOk(dialog), 2);  // nothing to calibrate
}

TEST_F(CalibrationDialogTest, CheckedPositionWithoutNumberAsksForZero) {
  FilterTable.nCount = 2;
  FilterTable.nWavelength[0] = 405;
  FilterTable.nWavelength[1] = 450;
  CalibrationDialog dialog(nullptr, nullptr);
  Check(dialog, 2);
  Enter(dialog, 2, "");
  EXPECT_EQ(PressOk(dialog), 0);
  ASSERT_EQ(BoxRecorder::Boxes().size(), 1u);
  EXPECT_EQ(BoxRecorder::Boxes()[0].text, kClearHint);
  EXPECT_EQ(BoxRecorder::Boxes()[0].caption, "Error");
  EXPECT_EQ(BoxRecorder::Boxes()[0].icon, kIconWarning);
  EXPECT_EQ(FilterTable.nCount, 2);
  EXPECT_EQ(FilterTable.nWavelength[1], 450);

  Enter(dialog, 2, "0");  // clears the position
  EXPECT_EQ(PressOk(dialog), 1);
  EXPECT_EQ(FilterTable.nCount, 6);
  EXPECT_EQ(FilterTable.nWavelength[0], 405);
  EXPECT_EQ(FilterTable.nWavelength[1], 0);
}

TEST_F(CalibrationDialogTest, UncheckedPositionWithoutNumberIsCleared) {
  FilterTable.nCount = 6;
  for (int p = 0; p < 6; ++p) FilterTable.nWavelength[p] = 405 + p;
  CalibrationDialog dialog(nullptr, nullptr);
  Check(dialog, 1);
  Enter(dialog, 3, "");
  Enter(dialog, 5, "abc");
  EXPECT_EQ(PressOk(dialog), 1);
  EXPECT_TRUE(BoxRecorder::Boxes().empty());
  EXPECT_EQ(FilterTable.nWavelength[2], 0);
  EXPECT_EQ(FilterTable.nWavelength[4], 0);
  EXPECT_EQ(FilterTable.nWavelength[5], 410);
}

TEST_F(CalibrationDialogTest, WavelengthLimitsApplyToEveryPosition) {
  for (const char* bad : {"199", "1000", "-5"}) {
    BoxRecorder::Boxes().clear();
    CalibrationDialog dialog(nullptr, nullptr);
    Check(dialog, 1);
    Enter(dialog, 1, "200");
    Enter(dialog, 4, bad);  // unchecked, still refused
    EXPECT_EQ(PressOk(dialog), 0) << bad;
    ASSERT_EQ(BoxRecorder::Boxes().size(), 1u);
    EXPECT_EQ(BoxRecorder::Boxes()[0].text, kWrongValue);
    EXPECT_EQ(FilterTable.nCount, 0);
  }
  CalibrationDialog dialog(nullptr, nullptr);
  Check(dialog, 1);
  Enter(dialog, 1, "200");
  Enter(dialog, 4, " 999");
  EXPECT_EQ(PressOk(dialog), 1);
  EXPECT_EQ(FilterTable.nWavelength[0], 200);
  EXPECT_EQ(FilterTable.nWavelength[3], 999);
}

TEST_F(CalibrationDialogTest, OnlyTheFirstProblemIsReported) {
  CalibrationDialog dialog(nullptr, nullptr);
  Enter(dialog, 1, "150");
  Check(dialog, 2);
  Enter(dialog, 2, "");
  EXPECT_EQ(PressOk(dialog), 0);
  ASSERT_EQ(BoxRecorder::Boxes().size(), 1u);
  EXPECT_EQ(BoxRecorder::Boxes()[0].text, kWrongValue);
}

TEST_F(CalibrationDialogTest, OkKeepsSlotsBeyondTheSixth) {
  FilterTable.nCount = 10;
  for (int slot = 0; slot < 10; ++slot) FilterTable.nWavelength[slot] = 400 + slot;
  CalibrationDialog dialog(nullptr, nullptr);
  Check(dialog, 3);
  Enter(dialog, 3, "500");
  EXPECT_EQ(PressOk(dialog), 1);
  EXPECT_EQ(FilterTable.nCount, 6);
  EXPECT_EQ(FilterTable.nWavelength[2], 500);
  EXPECT_EQ(FilterTable.nWavelength[8], 408);
  EXPECT_EQ(FilterTable.bCalibrate[2], 1);
}

TEST_F(CalibrationDialogTest, CancelAndCloseBoxLeaveTheTable) {
  FilterTable.nCount = 1;
  FilterTable.nWavelength[0] = 405;
  for (bool closeBox : {false, true}) {
    CalibrationDialog dialog(nullptr, nullptr);
    dialog.show();
    Check(dialog, 1);
    Enter(dialog, 1, "620");
    if (closeBox) {
      dialog.close();
      EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }, 2000));
    } else {
      dialog.SendCommand(2);
    }
    EXPECT_EQ(dialog.result(), 2);
    EXPECT_EQ(FilterTable.nCount, 1);
    EXPECT_EQ(FilterTable.nWavelength[0], 405);
  }
}

}  // namespace
