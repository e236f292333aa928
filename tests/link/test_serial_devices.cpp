// Listing the machine's serial devices on a fake /dev tree, and the rule
// for pseudo-terminals on the real one.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "link/serial_devices.h"
#include "tests/support/pty_pair.h"

namespace fs = std::filesystem;

namespace {

class FakeDevTree : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/platovix-dev-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = fs::path(pattern);
    dirs_.dev = (root_ / "dev").string();
    dirs_.byId = (root_ / "dev/serial/by-id").string();
    fs::create_directories(dirs_.byId);
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string Node(const std::string& name) {
    const fs::path path = root_ / "dev" / name;
    std::ofstream(path.string()).put('\n');
    return path.string();
  }
  void Link(const std::string& name, const std::string& target) {
    fs::create_symlink(target, fs::path(dirs_.byId) / name);
  }
  static std::vector<std::string> Paths(const std::vector<SerialDevice>& devices) {
    std::vector<std::string> paths;
    for (const SerialDevice& d : devices) paths.push_back(d.path);
    return paths;
  }

  fs::path root_;
  DeviceDirectories dirs_;
};

TEST_F(FakeDevTree, StableNamesFirstThenAdaptersThenUartsEachDeviceOnce) {
  const std::string usb0 = Node("ttyUSB0");
  Node("ttyUSB10");
  Node("ttyUSB2");
  const std::string acm0 = Node("ttyACM0");
  const std::string s0 = Node("ttyS0");
  Node("ttyS1");  // a slot without a UART: the library does not report it
  Node("ttyUSBx");
  Node("tty0");
  Link("usb-FTDI_FT232R_USB_UART_A1B2C3D4-if00-port0", "../../ttyUSB0");
  Link("usb-Arduino_Uno_55736-if00", "../../ttyACM0");
  Link("usb-gone-if00-port0", "../../ttyUSB9");  // unplugged: a dangling link

  std::vector<PortFacts> facts(3);
  facts[0] = {usb0, true, "FTDI", "FT232R USB UART", "A1B2C3D4", "FT232R USB UART"};
  facts[1] = {acm0, true, "", "", "", "Arduino Uno"};
  facts[2] = {s0, false, "", "", "", "ttyS0"};

  const std::vector<SerialDevice> devices = ListSerialDevices(dirs_, facts);
  const std::string byId = dirs_.byId + "/";
  EXPECT_EQ(Paths(devices),
            (std::vector<std::string>{byId + "usb-Arduino_Uno_55736-if00",
                                      byId + "usb-FTDI_FT232R_USB_UART_A1B2C3D4-if00-port0",
                                      dirs_.dev + "/ttyUSB2", dirs_.dev + "/ttyUSB10", s0}));
  EXPECT_EQ(devices[0].device, acm0);
  EXPECT_EQ(devices[0].description, "Arduino Uno");
  EXPECT_EQ(devices[1].device, usb0);
  EXPECT_EQ(devices[1].description, "FTDI FT232R USB UART, serial A1B2C3D4");
  EXPECT_EQ(devices[2].description, "USB serial device");  // nothing known of it
  EXPECT_EQ(devices[4].description, "serial port");
  for (const SerialDevice& device : devices) EXPECT_TRUE(device.accessible) << device.path;
}

TEST_F(FakeDevTree, EmptyOrMissingDirectoriesListNothingButTheLibrarysPorts) {
  EXPECT_TRUE(ListSerialDevices(dirs_, {}).empty());
  fs::remove_all(root_ / "dev");
  EXPECT_TRUE(ListSerialDevices(dirs_, {}).empty());
  const std::vector<PortFacts> other = {{"/dev/ttyAMA0", false, "", "", "", "ttyAMA0"}};
  const auto devices = ListSerialDevices(dirs_, other);
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].path, "/dev/ttyAMA0");
}

TEST_F(FakeDevTree, PseudoTerminalsAreNeverListedEvenBehindALink) {
  PtyPair pty;
  EXPECT_TRUE(IsPseudoTerminalPath(pty.slavePath()));
  EXPECT_FALSE(IsPseudoTerminalPath(Node("ttyUSB0")));
  EXPECT_FALSE(IsPseudoTerminalPath("/dev/null"));
  Link("usb-pretend-if00", pty.slavePath());
  const std::vector<PortFacts> facts = {{pty.slavePath(), false, "", "", "", "pts"}};
  EXPECT_EQ(Paths(ListSerialDevices(dirs_, facts)),
            std::vector<std::string>{dirs_.dev + "/ttyUSB0"});
}

TEST(SerialDevices, TheMachinesListHoldsNoPseudoTerminal) {
  PtyPair pty;
  for (const SerialDevice& device : ListSerialDevices()) {
    EXPECT_FALSE(IsPseudoTerminalPath(device.device)) << device.path;
    EXPECT_NE(device.device, pty.slavePath());
    EXPECT_FALSE(device.description.empty()) << device.path;
  }
}

}  // namespace
