#include "cli/reader_line.h"

#include <system_error>
#include <vector>

#include "link/port_setup.h"
#include "results/shared_state.h"
#include "settings/settings.h"

void LoadReaderSettings(const CliOptions& options) {
  LoadSettings();
  if (options.family) AppSettings.readerSubType = *options.family;
  if (options.baud) AppSettings.nBaudRate = *options.baud;
}

std::string ResolveReaderDevice(const CliOptions& options, std::string* error) {
  LoadReaderSettings(options);
  return ReaderDevicePath(options, error);
}

std::string ReaderDevicePath(const CliOptions& options, std::string* error) {
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
