// The clipboard text as another program sees it: copied here, read back by
// xclip under a real X server. The copying program must keep answering the
// X server while xclip asks, so the read-back never blocks the event loop.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <cstdlib>
#include <string>

#include "preview/clipboard.h"
#include "results/result_text.h"
#include "results/shared_state.h"
#include "tests/support/qt_app.h"
#include "tests/support/result_state_guard.h"

namespace {

// Reads the clipboard through xclip; the event loop runs meanwhile.
QByteArray ReadClipboardFromAnotherProcess() {
  QProcess xclip;
  xclip.start("xclip", {"-o", "-selection", "clipboard"});
  const bool finished =
      QTest::qWaitFor([&] { return xclip.state() == QProcess::NotRunning; }, 10'000);
  EXPECT_TRUE(finished) << "xclip did not finish";
  if (!finished) xclip.kill();
  EXPECT_EQ(xclip.exitCode(), 0) << xclip.readAllStandardError().toStdString();
  return xclip.readAllStandardOutput();
}

class ClipboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display; run under xvfb-run";
    if (QStandardPaths::findExecutable("xclip").isEmpty()) GTEST_SKIP() << "xclip missing";
    TestApp();
    if (QGuiApplication::platformName() != "xcb") {
      GTEST_SKIP() << "the " << QGuiApplication::platformName().toStdString()
                   << " clipboard is private to this process";
    }
    for (int well = 0; well < kWells; ++well) PlateResult.nValue[well] = well * 37 - 500;
    PlateResult.nValue[5] = -12;
    PlateResult.nValue[8] = kNoValue;
    PlateResult.nPrimary = 450;
    PlateResult.nReference = 620;
    PlateResult.ftMeasured = 0x01DD'0000'0000'0000ull;
    PlateResult.bValid = 1;
    AppSettings.bIncludeHeader = 1;
  }

 private:
  ResultStateGuard guard_;
};

TEST_F(ClipboardTest, AnotherProgramReadsTheResultText) {
  AppSettings.bDelimComma = 0;
  CopyResultToClipboard(nullptr);
  const QByteArray pasted = ReadClipboardFromAnotherProcess();
  EXPECT_EQ(pasted.toStdString(), BuildResultText());
  EXPECT_TRUE(pasted.startsWith("-0.500\t-0.463\t"));
  EXPECT_TRUE(pasted.contains("\t-0.012\t"));
  EXPECT_TRUE(pasted.contains("\t9.999\t"));
  EXPECT_TRUE(pasted.contains("\r\nFilter(s)  450 [nm] / 620 [nm]     "));
}

TEST_F(ClipboardTest, DecimalCommaReachesTheClipboard) {
  AppSettings.bDelimComma = 1;
  AppSettings.bIncludeHeader = 0;
  CopyResultToClipboard(nullptr);
  const QByteArray pasted = ReadClipboardFromAnotherProcess();
  EXPECT_EQ(pasted.toStdString(), BuildResultText());
  EXPECT_TRUE(pasted.contains("\t-0,012\t"));
  EXPECT_FALSE(pasted.contains('.'));
  EXPECT_TRUE(pasted.endsWith("\r\n"));
  EXPECT_EQ(pasted.count("\r\n"), 8);
}

}  // namespace
