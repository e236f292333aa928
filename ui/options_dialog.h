// The Options dialog: what happens after a measurement, the reader family,
// the decimal delimiter and the serial port, shown from and stored into
// AppSettings.
#pragma once

#include <QRect>
#include <array>
#include <string>

#include "dialogs/template_dialog.h"

class TraceOptions;
class QPushButton;

class OptionsDialog : public TemplateDialog {
  Q_OBJECT

 public:
  // buttonRect: the screen rectangle of the button that opened it, or null
  // to keep the template's position.
  OptionsDialog(QWidget* owner, const QRect* buttonRect);

 protected:
  bool OnCommand(int id) override;

 public:
  // The device chooser beside the port list ("D&evice...").
  QPushButton* DeviceButton() const { return deviceButton_; }

 private:
  void InitDialog(const QRect* buttonRect);
  // Adds "D&evice..." to the right of the port list; the dialog grows.
  void AddDeviceButton();
  // Runs the chooser for the COMn selected in the list.
  void ChooseDevice();
  // The COMn selected in the list, as OK would store it.
  int SelectedPort() const;
  // The port list's tooltip names the selected COMn's device.
  void UpdatePortToolTip();
  // Stores every field; 1 when any of them changed, else 2.
  int StoreSettings();

  TraceOptions* trace_ = nullptr;
  QPushButton* deviceButton_ = nullptr;
  // [Ports] entries as chosen here; stored on OK. Index n = COMn.
  std::array<std::string, 5> devices_;
};

// Runs the dialog modally. 1 when OK changed at least one setting; 2 when
// OK changed nothing, on Cancel and on closing.
int RunOptionsDialog(QWidget* owner, const QRect* buttonRect);
