// Reaching the reader from a front end without a window: the settings file
// is read (never written), the command line's port, family and speed
// override it, and the port is opened with the reader's line format.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/posix_serial_port.h"

// Where and how to reach the reader; unset means "as in the settings file".
struct ReaderLineOptions {
  std::optional<int> comPort;             // --port COM1..COM4
  std::optional<std::string> devicePath;  // --port /dev/...
  std::optional<int> family;              // 0 DigiScan, 1 Jupiter / Expert
  std::optional<int> baud;
};

// --port and --family as every front end reads them. An empty result means
// the value was taken; else the usage error.
std::string ParsePortValue(const std::string& text, ReaderLineOptions& options);
std::string ParseFamilyValue(const std::string& text, ReaderLineOptions& options);

// Loads the settings and applies the options' family and speed.
void LoadReaderSettings(const ReaderLineOptions& options);
// The device the options or the loaded settings name, or empty with a usage
// error in *error when no port is set up.
std::string ReaderDevicePath(const ReaderLineOptions& options, std::string* error);
// Both of the above.
std::string ResolveReaderDevice(const ReaderLineOptions& options, std::string* error);

// Opens the device with the line format from the settings; null with
// "device: the system's text" in *error and errno in *errorNumber.
std::unique_ptr<PosixSerialPort> OpenReaderDevice(const std::string& device, std::string* error,
                                                  int* errorNumber = nullptr);

// The reader's model for result files: the driver names a Jupiter or an
// Expert in the status line once it knows which it is (texts from first on).
std::string ReaderKindName(int readerSubType, const std::vector<std::string>& statusTexts,
                           size_t first);
