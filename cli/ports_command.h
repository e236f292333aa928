// platovix-cli ports: the serial devices present, and which COMn of the
// settings file leads to each, as lines for people or as JSON for scripts.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "link/serial_devices.h"

// The listing for these devices and the COMn mapping now in PortMap and
// AppSettings.nComPort.
std::string PortsText(const std::vector<SerialDevice>& devices, bool json);

// Lists the machine's devices on io.out; always succeeds.
int RunPortsCommand(bool json, const CliIo& io);
