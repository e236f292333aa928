// Reaching the reader as platovix-cli does: the settings file is read (never
// written), the command line's port, family and speed override it, and the
// port is opened with the reader's line format. Shared by every front end
// without a window.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "link/posix_serial_port.h"

// Loads the settings and applies the options' family and speed.
void LoadReaderSettings(const CliOptions& options);
// The device the options or the loaded settings name, or empty with a usage
// error in *error when no port is set up.
std::string ReaderDevicePath(const CliOptions& options, std::string* error);
// Both of the above.
std::string ResolveReaderDevice(const CliOptions& options, std::string* error);

// Opens the device with the line format from the settings; null with
// "device: the system's text" in *error and errno in *errorNumber.
std::unique_ptr<PosixSerialPort> OpenReaderDevice(const std::string& device, std::string* error,
                                                  int* errorNumber = nullptr);

// The reader's model for result files: the driver names a Jupiter or an
// Expert in the status line once it knows which it is (texts from first on).
std::string ReaderKindName(int readerSubType, const std::vector<std::string>& statusTexts,
                           size_t first);
