#include <QComboBox>
#include <QGuiApplication>
#include <QRadioButton>
#include <QScreen>
#include <QTest>

#include "tests/ui/ui_test_support.h"
#include "ui/options_dialog.h"

namespace {

class OptionsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    ResetProgramState();
    AppSettings.nComPort = 2;
  }

  // Presses OK without touching anything and returns the dialog's result.
  static int PressOk(OptionsDialog& dialog) {
    dialog.SendCommand(1);
    return dialog.result();
  }
};

TEST_F(OptionsDialogTest, ShowsTheSettings) {
  AppSettings.bAutoCopy = 0;
  AppSettings.bAutoView = 1;
  AppSettings.bIncludeHeader = 1;
  AppSettings.readerSubType = 1;
  AppSettings.bDelimComma = 1;
  AppSettings.nComPort = 3;
  OptionsDialog dialog(nullptr, nullptr);
  EXPECT_FALSE(dialog.IsChecked(105));
  EXPECT_TRUE(dialog.IsChecked(106));
  EXPECT_TRUE(dialog.IsChecked(107));
  EXPECT_FALSE(dialog.IsChecked(101));
  EXPECT_TRUE(dialog.IsChecked(102));
  EXPECT_FALSE(dialog.IsChecked(103));
  EXPECT_TRUE(dialog.IsChecked(104));
  auto* ports = qobject_cast<QComboBox*>(dialog.Item(110));
  ASSERT_EQ(ports->count(), 4);
  EXPECT_EQ(ports->itemText(0), "COM1");
  EXPECT_EQ(ports->itemText(3), "COM4");
  EXPECT_EQ(ports->currentIndex(), 2);
}

TEST_F(OptionsDialogTest, PortOutsideOneToFourBecomesComOne) {
  for (int port : {0, 7}) {
    AppSettings.nComPort = port;
    OptionsDialog dialog(nullptr, nullptr);
    EXPECT_EQ(qobject_cast<QComboBox*>(dialog.Item(110))->currentText(), "COM1");
    EXPECT_EQ(PressOk(dialog), 1) << port;
    EXPECT_EQ(AppSettings.nComPort, 1);
  }
}

TEST_F(OptionsDialogTest, OkWithoutChangesReportsNoChange) {
  OptionsDialog dialog(nullptr, nullptr);
  EXPECT_EQ(PressOk(dialog), 2);
  EXPECT_EQ(AppSettings.nComPort, 2);
  EXPECT_EQ(AppSettings.nBaudRate, 9600);
}

TEST_F(OptionsDialogTest, BaudRateFollowsTheReaderFamily) {
  AppSettings.nBaudRate = 4800;  // a hand-edited settings file
  {
    OptionsDialog dialog(nullptr, nullptr);
    EXPECT_EQ(PressOk(dialog), 1);
    EXPECT_EQ(AppSettings.nBaudRate, 9600);
  }
  {
    OptionsDialog dialog(nullptr, nullptr);
    qobject_cast<QRadioButton*>(dialog.Item(102))->click();
    EXPECT_FALSE(dialog.IsChecked(101));
    EXPECT_EQ(PressOk(dialog), 1);
    EXPECT_EQ(AppSettings.readerSubType, 1);
    EXPECT_EQ(AppSettings.nBaudRate, 19200);
  }
}

TEST_F(OptionsDialogTest, UnknownReaderFamilyChecksNeitherAndBecomesDigiScan) {
  AppSettings.readerSubType = 2;
  OptionsDialog dialog(nullptr, nullptr);
  EXPECT_FALSE(dialog.IsChecked(101));
  EXPECT_FALSE(dialog.IsChecked(102));
  EXPECT_EQ(PressOk(dialog), 1);
  EXPECT_EQ(AppSettings.readerSubType, 0);
}

TEST_F(OptionsDialogTest, EveryCheckBoxIsStored) {
  OptionsDialog dialog(nullptr, nullptr);
  for (int id : {105, 106, 107}) dialog.SetChecked(id, false);
  qobject_cast<QRadioButton*>(dialog.Item(104))->click();
  qobject_cast<QComboBox*>(dialog.Item(110))->setCurrentIndex(3);
  EXPECT_EQ(PressOk(dialog), 1);
  EXPECT_EQ(AppSettings.bAutoCopy, 0);
  EXPECT_EQ(AppSettings.bIncludeHeader, 0);
  EXPECT_EQ(AppSettings.bAutoView, 0);
  EXPECT_EQ(AppSettings.bDelimComma, 1);
  EXPECT_EQ(AppSettings.nComPort, 4);
}

TEST_F(OptionsDialogTest, CancelAndCloseBoxChangeNothing) {
  const TAppSettings before = AppSettings;
  for (bool closeBox : {false, true}) {
    OptionsDialog dialog(nullptr, nullptr);
    dialog.show();
    dialog.SetChecked(105, false);
    qobject_cast<QRadioButton*>(dialog.Item(102))->click();
    qobject_cast<QComboBox*>(dialog.Item(110))->setCurrentIndex(0);
    if (closeBox) {
      dialog.close();  // posts Cancel
      EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }, 2000));
    } else {
      dialog.SendCommand(2);
    }
    EXPECT_EQ(dialog.result(), 2);
    EXPECT_EQ(AppSettings.bAutoCopy, before.bAutoCopy);
    EXPECT_EQ(AppSettings.readerSubType, before.readerSubType);
    EXPECT_EQ(AppSettings.nComPort, before.nComPort);
  }
}

TEST_F(OptionsDialogTest, OpensAtTheButtonAndStaysOnScreen) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const QRect button(screen.left() + 120, screen.top() + 90, 60, 20);
  OptionsDialog atButton(nullptr, &button);
  EXPECT_EQ(atButton.pos(), button.topLeft());

  const QRect corner(screen.right() - 10, screen.bottom() - 10, 60, 20);
  OptionsDialog nearCorner(nullptr, &corner);
  const QRect placed = nearCorner.frameGeometry();
  EXPECT_TRUE(screen.contains(placed)) << placed.x() << "," << placed.y();
}

}  // namespace
