// platovix-cli ports and --version, and the refusals of a device that is
// no serial port, as a script sees them.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "cli/ports_command.h"
#include "results/shared_state.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_home.h"

namespace fs = std::filesystem;

namespace {

struct CliResult {
  int code;
  std::string out;
  std::string err;
};

CliResult RunInProcess(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = RunCli(args, CliIo{out, err, false, -1});
  return {code, out.str(), err.str()};
}

class CliPorts : public testing::Test {
 protected:
  std::string File(const std::string& name) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path) << "\n";
    return path;
  }

  TempHome temp_{"ports"};
  const fs::path dir_ = temp_.path();
};

TEST_F(CliPorts, CommandAndOptionsAreChecked) {
  EXPECT_EQ(ParseCliArguments({"ports"}).options.command, CliCommand::Ports);
  const CliParse json = ParseCliArguments({"ports", "--format", "json"});
  ASSERT_TRUE(json.ok) << json.error;
  EXPECT_EQ(json.options.format, ResultFormat::Json);
  EXPECT_EQ(ParseCliArguments({"--version"}).options.command, CliCommand::Version);
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"ports", "--format", "csv"},
                                              {"ports", "COM1"},
                                              {"ports", "--primary", "450"},
                                              {"filters", "--format", "json"}}) {
    const CliResult run = RunInProcess(bad);
    EXPECT_EQ(run.code, kExitUsage) << bad[1];
    EXPECT_TRUE(run.out.empty());
  }
}

TEST_F(CliPorts, VersionAndHelpNameTheNewParts) {
  const CliResult version = RunInProcess({"--version"});
  EXPECT_EQ(version.code, kExitSuccess);
  EXPECT_TRUE(
      std::regex_search(version.out, std::regex("^platovix-cli [0-9]+\\.[0-9]+\\.[0-9]+\n")))
      << version.out;
  EXPECT_NE(version.out.find("MIT"), std::string::npos);
  const std::string help = CliHelpText();
  EXPECT_NE(help.find("\n  ports "), std::string::npos);
  EXPECT_NE(help.find("\n  --version "), std::string::npos);
}

TEST_F(CliPorts, ListsDevicesWithTheComPortsThatLeadThere) {
  PtyPair pty;
  const std::string adapter = File("ttyUSB0");
  fs::create_symlink(adapter, dir_ / "usb-FTDI_A1-if00-port0");
  const std::string byId = (dir_ / "usb-FTDI_A1-if00-port0").string();
  const std::string missing = (dir_ / "ttyUSB9").string();
  PortMap.szDevice[1] = byId;  // COM1 by its stable name, COM2 by the kernel's
  PortMap.szDevice[2] = adapter;
  PortMap.szDevice[3] = pty.slavePath();
  PortMap.szDevice[4] = missing;
  AppSettings.nComPort = 2;
  std::vector<SerialDevice> devices(1);
  devices[0] = {byId, adapter, "FTDI FT232R, serial A1", false};

  EXPECT_EQ(PortsText(devices, false), byId + "\tFTDI FT232R, serial A1 (" + adapter +
                                           "), no access\tCOM1 COM2\n" + pty.slavePath() +
                                           "\tpresent, not a listed serial device\tCOM3\n" +
                                           missing + "\tnot present\tCOM4\n");

  const auto json = nlohmann::json::parse(PortsText(devices, true));
  ASSERT_EQ(json["devices"].size(), 1u);
  EXPECT_EQ(json["devices"][0]["path"], byId);
  EXPECT_EQ(json["devices"][0]["device"], adapter);
  EXPECT_EQ(json["devices"][0]["accessible"], false);
  EXPECT_EQ(json["devices"][0]["ports"], nlohmann::json({"COM1", "COM2"}));
  EXPECT_EQ(json["ports"]["COM3"]["path"], pty.slavePath());
  EXPECT_EQ(json["ports"]["COM3"]["present"], true);
  EXPECT_EQ(json["ports"]["COM3"]["listed"], false);
  EXPECT_EQ(json["ports"]["COM4"]["present"], false);
  EXPECT_EQ(json["selected"], "COM2");
}

TEST_F(CliPorts, TheMachinesListIsValidJson) {
  const CliResult run = RunInProcess({"ports", "--format", "json"});
  EXPECT_EQ(run.code, kExitSuccess) << run.err;
  const auto json = nlohmann::json::parse(run.out);
  EXPECT_TRUE(json["devices"].is_array());
  EXPECT_EQ(json["ports"].size(), 4u);
}

TEST_F(CliPorts, FileOrNullDeviceIsNotASerialPort) {
  for (const std::string& path : {File("plate.txt"), std::string("/dev/null")}) {
    const CliResult run = RunInProcess({"--port", path, "id"});
    EXPECT_EQ(run.code, kExitFailure);
    EXPECT_EQ(run.err, "platovix-cli: " + path +
                           ": Inappropriate ioctl for device\nplatovix-cli: " + path +
                           " is not a serial port.\n");
  }
}

}  // namespace
