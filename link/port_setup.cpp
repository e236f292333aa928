#include "link/port_setup.h"

#include <cerrno>
#include <memory>

#include "link/interval_timer.h"
#include "link/operator_message.h"
#include "link/port_refusal.h"
#include "link/system_error.h"
#include "link/worker_thread.h"
#include "results/shared_state.h"

SerialPort* hComPort = kInvalidPort;

namespace {

constexpr int kFirstPort = 1;
constexpr int kLastPort = 4;

// A device node that is not there, or one whose hardware is missing (a
// /dev/ttyS with no UART, an unplugged USB adapter), is a port the machine
// does not have.
bool IsMissingDevice(int error) {
  return error == ENOENT || error == ENODEV || error == ENXIO;
}

}  // namespace

std::string PortDevicePath(int n) {
  if (n >= kFirstPort && n <= kLastPort && !PortMap.szDevice[n].empty()) {
    return PortMap.szDevice[n];
  }
  return "/dev/ttyS" + std::to_string(n - 1);
}

LineSettings LineSettingsFromApp() {
  LineSettings settings;
  settings.nBaudRate = AppSettings.nBaudRate;
  settings.nBits = AppSettings.nBits;
  settings.nParity = AppSettings.nParity;
  settings.nStops = AppSettings.nStops;
  return settings;
}

bool OpenPort(void* owner) {
  // The first timer of the process settles the clock, here on the dialog's
  // thread, before any worker measures a time-out.
  IntervalTimer warmUp;
  (void)warmUp;

  ClosePort();
  int error = 0;
  const std::string path = PortDevicePath(AppSettings.nComPort);
  std::unique_ptr<PosixSerialPort> port =
      PosixSerialPort::Open(path, LineSettingsFromApp(), &error);
  if (!port) {
    if (IsMissingDevice(error)) {
      ShowMessageBox(owner, "Invalid serial port number.", "Error", kIconError);
      return true;
    }
    char text[256];
    FormatSystemError(text, sizeof text, error);
    // No access, or another program has the port: say what mends it.
    const std::string hint = AccessHint(path, error);
    ShowMessageBox(owner, hint.empty() ? text : text + ("\n" + hint), "Error", kIconError);
    return true;
  }
  port->Purge();
  port->TakeLineErrors();
  hComPort = port.release();
  return false;
}

void ClosePort() {
  if (hComPort == kInvalidPort) return;
  delete hComPort;
  hComPort = kInvalidPort;
}

void CloseThreadHandle() {
  hWorkerThread.reset();
}
