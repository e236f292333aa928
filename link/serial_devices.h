// The serial devices present on this machine, for choosing the reader's
// port: the stable /dev/serial/by-id names first, then the USB adapters'
// kernel names (ttyUSB*, ttyACM*), then the built-in ports that have a UART
// behind them (ttyS*), then whatever else the serial library knows.
//
// Pseudo-terminals are never listed: no by-id link names one, their names
// match none of the patterns and the serial library does not report them.
// A by-id link that leads to one is skipped too. A pseudo-terminal still
// works as a port when its path is given by hand.
#pragma once

#include <string>
#include <vector>

// What the system's serial library reports of one port.
struct PortFacts {
  std::string device;  // "/dev/ttyUSB0"
  bool usb = false;
  std::string manufacturer;
  std::string product;
  std::string serial;
  std::string description;  // the library's own one-line text
};

// Every port libserialport can see now; empty when it fails.
std::vector<PortFacts> SystemPortFacts();

// Where to look; a test points these at a fake tree.
struct DeviceDirectories {
  std::string dev = "/dev";
  std::string byId = "/dev/serial/by-id";
};

struct SerialDevice {
  std::string path;         // what the settings store: the by-id name where there is one
  std::string device;       // the node behind it, e.g. /dev/ttyUSB0
  std::string description;  // "FTDI FT232R USB UART, serial A1B2C3D4"
  bool accessible = true;   // this user may open it for reading and writing
};

std::vector<SerialDevice> ListSerialDevices(const DeviceDirectories& directories,
                                            const std::vector<PortFacts>& facts);
// The machine's devices, as the operator sees them.
std::vector<SerialDevice> ListSerialDevices();

// A pseudo-terminal's slave side (the kernel's majors 136 to 143).
bool IsPseudoTerminalPath(const std::string& path);

// The path for the operator: "/dev/serial/by-id/usb-... (/dev/ttyUSB0)" when
// it leads elsewhere, "/dev/ttyUSB3 (not present)" when it leads nowhere.
std::string DeviceSummary(const std::string& path);
