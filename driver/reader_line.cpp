#include "driver/reader_line.h"

#include <system_error>
#include <vector>

#include "link/port_setup.h"
#include "results/shared_state.h"
#include "settings/settings.h"

std::string ParsePortValue(const std::string& text, ReaderLineOptions& options) {
  // COM1..COM4 as in the settings; anything else names a device.
  const bool comName = text.size() > 3 && (text[0] == 'C' || text[0] == 'c') &&
                       (text[1] == 'O' || text[1] == 'o') && (text[2] == 'M' || text[2] == 'm') &&
                       text.find('/') == std::string::npos;
  if (!comName) {
    if (text.empty()) return "--port wants COM1 to COM4 or a device path";
    options.devicePath = text;
    return {};
  }
  const std::string number = text.substr(3);
  if (number.size() != 1 || number[0] < '1' || number[0] > '4')
    return "--port " + text + ": the port number must be 1 to 4 (or give a device path)";
  options.comPort = number[0] - '0';
  return {};
}

std::string ParseFamilyValue(const std::string& text, ReaderLineOptions& options) {
  if (text == "digiscan") {
    options.family = 0;
  } else if (text == "jupiter" || text == "expert") {
    options.family = 1;
  } else {
    return "--family must be digiscan or jupiter, not '" + text + "'";
  }
  return {};
}

void LoadReaderSettings(const ReaderLineOptions& options) {
  LoadSettings();
  if (options.family) AppSettings.readerSubType = *options.family;
  if (options.baud) AppSettings.nBaudRate = *options.baud;
}

std::string ResolveReaderDevice(const ReaderLineOptions& options, std::string* error) {
  LoadReaderSettings(options);
  return ReaderDevicePath(options, error);
}

std::string ReaderDevicePath(const ReaderLineOptions& options, std::string* error) {
  if (options.devicePath) return *options.devicePath;
  const int comPort = options.comPort.value_or(AppSettings.nComPort);
  if (comPort < 1 || comPort > 4) {
    *error = "no serial port set up; give --port COMn or --port DEVICE";
    return {};
  }
  return PortDevicePath(comPort);
}

std::unique_ptr<PosixSerialPort> OpenReaderDevice(const std::string& device, std::string* error,
                                                  int* errorNumber) {
  int openError = 0;
  std::unique_ptr<PosixSerialPort> port =
      PosixSerialPort::Open(device, LineSettingsFromApp(), &openError);
  if (!port) *error = device + ": " + std::generic_category().message(openError);
  if (errorNumber != nullptr) *errorNumber = openError;
  return port;
}

std::string ReaderKindName(int readerSubType, const std::vector<std::string>& statusTexts,
                           size_t first) {
  if (readerSubType == 0) return "DigiScan";
  for (size_t i = first; i < statusTexts.size(); ++i) {
    if (statusTexts[i] == "Jupiter" || statusTexts[i] == "Expert") return statusTexts[i];
  }
  return "Jupiter / Expert";
}
