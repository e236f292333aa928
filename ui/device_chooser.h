// "Device...": the serial devices present now, for the operator to pick the
// one the reader hangs on for one COMn, or to type any other path (the
// simulator's pseudo-terminal, say).
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "link/serial_devices.h"

class QLineEdit;
class QTreeWidget;

// Where the list comes from; tests put a fake tree behind it.
using SerialDeviceLister = std::function<std::vector<SerialDevice>()>;
// Installs lister (null: the machine's own) and returns the previous one.
SerialDeviceLister SetSerialDeviceLister(SerialDeviceLister lister);

// The tooltip of COMn whose entry is device (empty: /dev/ttyS<n-1>):
// "COM1: /dev/serial/by-id/usb-... (/dev/ttyUSB0)".
QString PortToolTip(int n, const std::string& device);

class DeviceChooser : public QDialog {
  Q_OBJECT

 public:
  // current: the port's entry now; empty means /dev/ttyS<n-1>.
  DeviceChooser(QWidget* owner, int port, const std::string& current);

  // After OK: the chosen path; empty when "Default" was pressed.
  std::string Chosen() const { return chosen_; }

  QTreeWidget* List() const { return list_; }
  QLineEdit* PathEdit() const { return path_; }

  // OK: takes the typed path, unless it is no serial port at all.
  void accept() override;
  // "Default": the port goes back to /dev/ttyS<n-1>.
  void ChooseDefault();
  // Lists the devices again (an adapter plugged in meanwhile).
  void Refresh();

 private:
  QTreeWidget* list_;
  QLineEdit* path_;
  std::string chosen_;
};
