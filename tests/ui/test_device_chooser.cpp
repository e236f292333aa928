// Choosing the reader's device in Options: the chooser driven offscreen,
// the choice stored in [Ports] and read back, "Default", the refusal of a
// path that is no serial port, and the tooltips that name the device.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "settings/settings.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_home.h"
#include "tests/ui/ui_test_support.h"
#include "ui/device_chooser.h"
#include "ui/main_dialog.h"
#include "ui/options_dialog.h"

namespace fs = std::filesystem;

namespace {

class DeviceChooserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    ResetProgramState();
    AppSettings.nComPort = 2;
    adapter_ = pty_.slavePath();  // stands in for /dev/ttyUSB0
    file_ = (dir_ / "plate.txt").string();
    std::ofstream(file_) << "\n";
    byId_ = (dir_ / "usb-FTDI_FT232R_USB_UART_A1B2-if00-port0").string();
    fs::create_symlink(adapter_, byId_);
    SetSerialDeviceLister([this] {
      return std::vector<SerialDevice>{
          {byId_, adapter_, "FTDI FT232R USB UART, serial A1B2", true},
          {"/dev/ttyUSB5", "/dev/ttyUSB5", "USB serial device", false}};
    });
  }
  void TearDown() override {
    SetSerialDeviceLister(nullptr);
    ResetProgramState();
  }

  static QComboBox* Ports(OptionsDialog& dialog) {
    return qobject_cast<QComboBox*>(dialog.Item(110));
  }

  // Presses "D&evice..." and lets handle act on the chooser, which must close it.
  static void WithChooser(OptionsDialog& dialog, std::function<void(DeviceChooser*)> handle) {
    ModalWatcher watcher([&](QWidget* modal) {
      auto* chooser = qobject_cast<DeviceChooser*>(modal);
      ASSERT_NE(chooser, nullptr);
      handle(chooser);
      if (chooser->isVisible()) chooser->reject();  // a failed check must not hang the test
    });
    dialog.DeviceButton()->click();
    EXPECT_EQ(watcher.Seen(), 1);
  }

  std::string SettingsText() const {
    std::ifstream in(SettingsFilePath());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  PtyPair pty_;
  TempHome temp_{"chooser"};
  const fs::path dir_ = temp_.path();
  std::string adapter_;
  std::string file_;
  std::string byId_;
  BoxRecorder boxes_;
};

TEST_F(DeviceChooserTest, ButtonSitsBesideThePortListWhichKeepsItsPlace) {
  OptionsDialog dialog(nullptr, nullptr);
  QPushButton* button = dialog.DeviceButton();
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->text(), "D&evice...");
  const QRect list = dialog.Item(110)->geometry();
  const QRect fromTemplate = dialog.DialogUnitsToPixels(63, 142, 40, 64);
  EXPECT_EQ(list.topLeft(), fromTemplate.topLeft());
  EXPECT_EQ(list.width(), fromTemplate.width());
  EXPECT_GT(button->geometry().left(), list.right());
  EXPECT_TRUE(dialog.rect().contains(button->geometry()));
  EXPECT_EQ(dialog.Item(1)->geometry(), dialog.DialogUnitsToPixels(12, 163, 38, 14));
}

TEST_F(DeviceChooserTest, ChosenDeviceIsStoredForTheSelectedPortAndReadBack) {
  {
    OptionsDialog dialog(nullptr, nullptr);
    Ports(dialog)->setCurrentIndex(2);  // COM3
    WithChooser(dialog, [&](DeviceChooser* chooser) {
      EXPECT_EQ(chooser->windowTitle(), "Serial device for COM3");
      ASSERT_EQ(chooser->List()->topLevelItemCount(), 2);
      EXPECT_EQ(chooser->List()->topLevelItem(0)->text(1),
                QString::fromStdString("FTDI FT232R USB UART, serial A1B2 (" + adapter_ + ")"));
      EXPECT_TRUE(chooser->List()->topLevelItem(1)->text(1).contains("no access"));
      chooser->List()->setCurrentItem(chooser->List()->topLevelItem(0));
      EXPECT_EQ(chooser->PathEdit()->text().toStdString(), byId_);
      chooser->accept();
    });
    EXPECT_TRUE(Ports(dialog)->toolTip().startsWith("COM3: " + QString::fromStdString(byId_)));
    dialog.SendCommand(1);
    EXPECT_EQ(dialog.result(), 1);  // only the device changed
  }
  EXPECT_EQ(PortMap.szDevice[3], byId_);
  EXPECT_EQ(AppSettings.nComPort, 3);
  SaveSettings();
  EXPECT_NE(SettingsText().find("[Ports]\nCOM3=" + byId_ + "\n"), std::string::npos)
      << SettingsText();

  ResetProgramState();
  LoadSettings();
  EXPECT_EQ(PortMap.szDevice[3], byId_);
  OptionsDialog again(nullptr, nullptr);
  EXPECT_EQ(Ports(again)->currentIndex(), 2);
  EXPECT_EQ(Ports(again)->toolTip().toStdString(), "COM3: " + byId_ + " (" + adapter_ + ")");
  WithChooser(again, [&](DeviceChooser* chooser) {
    EXPECT_EQ(chooser->PathEdit()->text().toStdString(), byId_);
    EXPECT_EQ(chooser->List()->currentItem(), chooser->List()->topLevelItem(0));
    chooser->reject();
  });
  again.SendCommand(1);
  EXPECT_EQ(again.result(), 2);
}

TEST_F(DeviceChooserTest, DefaultRemovesOnlyThatPortsEntry) {
  std::ofstream(SettingsFilePath()) << "[Ports]\nCOM1=/dev/ttyUSB7\nCOM2=/dev/ttyACM0\n; mine\n";
  LoadSettings();
  AppSettings.nComPort = 2;
  OptionsDialog dialog(nullptr, nullptr);
  WithChooser(dialog, [](DeviceChooser* chooser) { chooser->ChooseDefault(); });
  EXPECT_EQ(Ports(dialog)->toolTip(),
            "COM2: /dev/ttyS1" + QString(fs::exists("/dev/ttyS1") ? "" : " (not present)"));
  dialog.SendCommand(1);
  EXPECT_EQ(dialog.result(), 1);
  EXPECT_EQ(PortMap.szDevice[2], "");
  EXPECT_EQ(PortDevicePath(2), "/dev/ttyS1");
  SaveSettings();
  EXPECT_EQ(SettingsText().rfind("[Ports]\nCOM1=/dev/ttyUSB7\n; mine\n", 0), 0u) << SettingsText();
}

TEST_F(DeviceChooserTest, PathThatIsNoSerialPortIsRefusedAndNothingChanges) {
  OptionsDialog dialog(nullptr, nullptr);
  WithChooser(dialog, [&](DeviceChooser* chooser) {
    chooser->PathEdit()->setText(QString::fromStdString(file_));
    chooser->accept();
    EXPECT_TRUE(chooser->isVisible());
    ASSERT_EQ(BoxRecorder::Boxes().size(), 1u);
    EXPECT_EQ(BoxRecorder::Boxes()[0].caption, "Error");
    EXPECT_EQ(BoxRecorder::Boxes()[0].text,
              "Inappropriate ioctl for device\n" + file_ + " is not a serial port.");
    chooser->PathEdit()->setText(QString::fromStdString(adapter_));  // typed by hand
    chooser->accept();
    EXPECT_FALSE(chooser->isVisible());
  });
  dialog.SendCommand(2);  // Cancel: the choice is dropped
  EXPECT_EQ(PortMap.szDevice[2], "");
  EXPECT_FALSE(PortMap.bChosen[2]);
}

TEST_F(DeviceChooserTest, MainDialogsPortTextNamesTheDevice) {
  PortMap.szDevice[2] = byId_;
  MainDialog dialog;
  EXPECT_EQ(dialog.Item(kPortText)->toolTip().toStdString(),
            "COM2: " + byId_ + " (" + adapter_ + ")");
}

}  // namespace
