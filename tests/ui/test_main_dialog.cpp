#include <QComboBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "tests/ui/ui_test_support.h"
#include "ui/main_dialog.h"
#include "ui/options_dialog.h"

namespace {

bool altDown = false;
bool AltForTest() {
  return altDown;
}

class MainDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    ResetProgramState();
    AppSettings.nComPort = 1;
    altDown = false;
    MainDialog::SetAltKeyQuery(AltForTest);
  }
  void TearDown() override {
    MainDialog::SetAltKeyQuery(nullptr);
    ResetProgramState();
  }

  static QStringList ListItems(QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
    return items;
  }

  BoxRecorder boxes_;
};

TEST_F(MainDialogTest, FirstStartWithoutSettingsOpensOptions) {
  AppSettings.nComPort = 0;
  AppSettings.X = 0;  // room below the options button
  AppSettings.Y = 0;
  QPoint optionsAt;
  QRect buttonAt;
  ModalWatcher watcher([&](QWidget* modal) {
    auto* options = qobject_cast<OptionsDialog*>(modal);
    ASSERT_NE(options, nullptr);
    optionsAt = options->pos();
    options->SendCommand(2);
  });
  MainDialog dialog;
  EXPECT_EQ(dialog.windowTitle(), "Platovix - DigiScan");
  EXPECT_EQ(dialog.ItemText(kPortText), "COM?:9600,7,E,2");
  EXPECT_EQ(dialog.ItemText(kStatusLine), "");
  EXPECT_EQ(dialog.Combo(kPrimaryList)->count(), 0);
  EXPECT_EQ(dialog.Combo(kReferenceList)->count(), 0);
  EXPECT_EQ(dialog.Combo(kPrimaryList)->currentText(), "");
  EXPECT_FALSE(dialog.Item(kReferenceList)->isVisibleTo(&dialog));
  dialog.show();
  buttonAt = dialog.ItemScreenRect(kOptionsButton);
  EXPECT_TRUE(QTest::qWaitFor([&] { return watcher.Seen() == 1; }, 3000));
  EXPECT_EQ(optionsAt, buttonAt.topLeft());
  EXPECT_EQ(AppSettings.nComPort, 0);
}

TEST_F(MainDialogTest, PortTextAndTitleFollowTheSettings) {
  AppSettings.nComPort = 3;
  AppSettings.readerSubType = 1;
  AppSettings.nBaudRate = 19200;
  AppSettings.nBits = 8;
  AppSettings.nParity = 1;
  AppSettings.nStops = 0;
  MainDialog dialog;
  EXPECT_EQ(dialog.ItemText(kPortText), "COM3:19200,8,O,1");
  EXPECT_EQ(dialog.windowTitle(), "Platovix - Jupiter/Expert");
  AppSettings.nParity = 4;  // mark and space have no letter of their own
  UpdatePortText(dialog);
  EXPECT_EQ(dialog.ItemText(kPortText), "COM3:19200,8,N,1");
}

TEST_F(MainDialogTest, ReducedStartAndDetailsToggle) {
  AppSettings.Reduced = 1;
  MainDialog dialog;
  dialog.show();
  const int separatorBottom = dialog.Item(kSeparator)->geometry().bottom() + 1;
  EXPECT_EQ(dialog.height(), separatorBottom);
  EXPECT_LT(dialog.height(), dialog.nFullHeight);
  for (int id : {kCopyButton, kPreviewButton, kCloseButton, kOptionsButton}) {
    EXPECT_FALSE(dialog.Item(id)->isEnabled()) << id;
  }
  EXPECT_TRUE(dialog.Item(kMeasureButton)->isEnabled());

  qobject_cast<QPushButton*>(dialog.Item(kDetailsButton))->click();
  EXPECT_EQ(dialog.height(), dialog.nFullHeight);
  for (int id : {kCopyButton, kPreviewButton, kCloseButton, kOptionsButton}) {
    EXPECT_TRUE(dialog.Item(id)->isEnabled()) << id;
  }
  EXPECT_EQ(AppSettings.Reduced, 0);
}

TEST_F(MainDialogTest, WindowPositionIsRestoredAndSaved) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  AppSettings.X = screen.left() + 40;
  AppSettings.Y = screen.top() + 30;
  MainDialog dialog;
  dialog.show();
  EXPECT_EQ(dialog.pos(), QPoint(AppSettings.X, AppSettings.Y));
  dialog.move(screen.left() + 70, screen.top() + 50);
  dialog.SendCommand(kCloseButton);
  EXPECT_EQ(dialog.result(), 2);
  EXPECT_EQ(AppSettings.X, screen.left() + 70);
  EXPECT_EQ(AppSettings.Y, screen.top() + 50);
}

TEST_F(MainDialogTest, FilterListsOfferOnlyRealFilters) {
  FilterTable.nCount = 4;
  FilterTable.nWavelength[0] = 0;
  FilterTable.nWavelength[1] = 50;
  FilterTable.nWavelength[2] = 450;
  FilterTable.nWavelength[3] = 100;
  AppSettings.nLastF1 = 0;
  AppSettings.nLastF2 = 405;
  MainDialog dialog;
  EXPECT_EQ(ListItems(dialog.Combo(kPrimaryList)), QStringList({"450", "100"}));
  EXPECT_EQ(ListItems(dialog.Combo(kReferenceList)), QStringList({"450", "100"}));
  EXPECT_EQ(dialog.Combo(kPrimaryList)->currentText(), "");
  EXPECT_EQ(dialog.Combo(kReferenceList)->currentText(), "405");  // although hidden
  EXPECT_FALSE(dialog.Item(kReferenceList)->isVisibleTo(&dialog));
  dialog.SetChecked(kReferenceCheck, true);
  dialog.SendCommand(kReferenceCheck);
  EXPECT_TRUE(dialog.Item(kReferenceList)->isVisibleTo(&dialog));
}

TEST_F(MainDialogTest, FilterInputsAreCheckedBeforeAnythingStarts) {
  PortMap.szDevice[1] = "/nonexistent/platovix-port";
  MainDialog dialog;
  dialog.show();
  dialog.activateWindow();
  QComboBox* primary = dialog.Combo(kPrimaryList);
  QComboBox* reference = dialog.Combo(kReferenceList);

  for (const char* text : {"", "abc", "99"}) {
    BoxRecorder::Boxes().clear();
    primary->setEditText(text);
    dialog.SendCommand(kMeasureButton);
    ASSERT_EQ(BoxRecorder::Boxes().size(), 1u) << text;
    EXPECT_EQ(BoxRecorder::Boxes()[0].text, "Invalid measurement filter.");
    EXPECT_EQ(BoxRecorder::Boxes()[0].caption, "Warning");
    EXPECT_EQ(BoxRecorder::Boxes()[0].icon, kIconWarning);
    EXPECT_EQ(dialog.focusWidget(), primary);
  }
  EXPECT_EQ(AppSettings.nLastF1, 0);

  // 100 passes although no filter of the table holds it; the port then fails.
  primary->setEditText("100");
  reference->setEditText("55");  // not used while the box is unchecked
  BoxRecorder::Boxes().clear();
  dialog.SendCommand(kMeasureButton);
  ASSERT_EQ(BoxRecorder::Boxes().size(), 1u);
  EXPECT_EQ(BoxRecorder::Boxes()[0].text, "Invalid serial port number.");
  EXPECT_EQ(AppSettings.nLastF1, 100);
  EXPECT_EQ(AppSettings.nLastF2, 0);
  EXPECT_EQ(hWorkerThread, nullptr);
  EXPECT_EQ(dialog.ItemText(kMeasureButton), "&Measure");

  dialog.SetChecked(kReferenceCheck, true);
  dialog.SendCommand(kReferenceCheck);
  reference->setEditText("99");
  BoxRecorder::Boxes().clear();
  dialog.SendCommand(kMeasureButton);
  ASSERT_EQ(BoxRecorder::Boxes().size(), 1u);
  EXPECT_EQ(BoxRecorder::Boxes()[0].text, "Invalid reference filter.");
  EXPECT_EQ(dialog.focusWidget(), reference);
}

TEST_F(MainDialogTest, NoPortChosenSendsTheOperatorToOptions) {
  MainDialog dialog;
  dialog.show();
  AppSettings.nComPort = 9;
  ModalWatcher watcher([](QWidget* modal) { static_cast<TemplateDialog*>(modal)->SendCommand(2); });
  dialog.SendCommand(kFiltersButton);
  ASSERT_EQ(BoxRecorder::Boxes().size(), 1u);
  EXPECT_EQ(BoxRecorder::Boxes()[0].text, "Serial port not specified.");
  EXPECT_EQ(BoxRecorder::Boxes()[0].icon, kIconInformation);
  EXPECT_EQ(AppSettings.nComPort, 0);
  EXPECT_EQ(pDriver, nullptr);
  EXPECT_TRUE(QTest::qWaitFor([&] { return watcher.Seen() == 1; }, 3000));
}

TEST_F(MainDialogTest, CopyAndPreviewNeedAValidResult) {
  MainDialog dialog;
  dialog.SendCommand(kCopyButton);
  dialog.SendCommand(kPreviewButton);
  ASSERT_EQ(BoxRecorder::Boxes().size(), 2u);
  for (const RecordedBox& box : BoxRecorder::Boxes()) {
    EXPECT_EQ(box.text, "No valid data.");
    EXPECT_EQ(box.caption, "Warning");
    EXPECT_EQ(box.icon, kIconInformation);
  }
}

TEST_F(MainDialogTest, AltDetailsShowsTheReaderNumber) {
  MainDialog dialog;
  const int heightBefore = dialog.height();
  altDown = true;
  dialog.SendCommand(kDetailsButton);
  ASSERT_EQ(BoxRecorder::Boxes().size(), 1u);
  EXPECT_EQ(BoxRecorder::Boxes()[0].text, "Do any read first.");
  EXPECT_EQ(BoxRecorder::Boxes()[0].caption, "NoNo");
  EXPECT_EQ(BoxRecorder::Boxes()[0].icon, kIconWarning);

  pDriver = CreateReaderDriver(AppSettings.readerType, AppSettings.readerSubType);
  dialog.SendCommand(kDetailsButton);  // never read: an empty number
  std::snprintf(pDriver->szReaderId, sizeof pDriver->szReaderId, "%s", "12345");
  dialog.SendCommand(kDetailsButton);
  ASSERT_EQ(BoxRecorder::Boxes().size(), 3u);
  EXPECT_EQ(BoxRecorder::Boxes()[1].text, "");
  EXPECT_EQ(BoxRecorder::Boxes()[2].text, "12345");
  EXPECT_EQ(BoxRecorder::Boxes()[2].caption, "");
  EXPECT_EQ(BoxRecorder::Boxes()[2].icon, kIconInformation);
  EXPECT_EQ(dialog.height(), heightBefore);  // Alt does not toggle
}

TEST_F(MainDialogTest, DriverIsRebuiltForAnotherReaderFamily) {
  MainDialog dialog;
  PortMap.szDevice[1] = "/nonexistent/platovix-port";
  dialog.Combo(kPrimaryList)->setEditText("405");
  dialog.SendCommand(kMeasureButton);
  ASSERT_NE(pDriver, nullptr);
  std::snprintf(pDriver->szReaderId, sizeof pDriver->szReaderId, "%s", "12345");
  const TFoto* first = pDriver;
  dialog.SendCommand(kMeasureButton);
  EXPECT_EQ(pDriver, first);
  EXPECT_STREQ(pDriver->szReaderId, "12345");

  AppSettings.readerSubType = 1;
  dialog.SendCommand(kMeasureButton);
  ASSERT_NE(pDriver, nullptr);
  EXPECT_EQ(pDriver->nReaderSubType, 1);
  EXPECT_STREQ(pDriver->szReaderId, "");
}

}  // namespace
