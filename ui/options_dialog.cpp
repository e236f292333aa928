#include "ui/options_dialog.h"

#include <QComboBox>
#include <QPushButton>

#include "resources/program_icon.h"
#include "results/shared_state.h"
#include "ui/device_chooser.h"
#include "ui/dialog_placement.h"
#include "ui/trace_options.h"

namespace {

enum OptionsControl : int {
  kOk = 1,
  kCancel = 2,
  kDigiScan = 101,
  kJupiterExpert = 102,
  kDot = 103,
  kComma = 104,
  kAutoCopy = 105,
  kIncludeHeader = 106,
  kAutoView = 107,
  kPortList = 110,
};

// Checks one radio button of first..last and clears the others; an id
// outside the range leaves all of them clear.
void CheckRadioInRange(TemplateDialog& dialog, int first, int last, int check) {
  for (int id = first; id <= last; ++id) dialog.SetChecked(id, id == check);
}

// Stores value into field and notes whether that changed it.
template <typename Field>
void Store(Field& field, int value, bool* changed) {
  if (field != static_cast<Field>(value)) *changed = true;
  field = static_cast<Field>(value);
}

}  // namespace

OptionsDialog::OptionsDialog(QWidget* owner, const QRect* buttonRect)
    : TemplateDialog(OptionsDialogTemplate(), owner) {
  InitDialog(buttonRect);
}

void OptionsDialog::InitDialog(const QRect* buttonRect) {
  setWindowIcon(ProgramIcon());
  // First, the controls beyond the template: the dialog is placed on
  // screen at its full size. The device button widens it; the trace
  // controls then span the new width.
  AddDeviceButton();
  trace_ = new TraceOptions(*this);
  if (buttonRect != nullptr) PlaceWindowAt(this, *buttonRect);

  const TAppSettings& s = AppSettings;
  SetChecked(kAutoCopy, s.bAutoCopy != 0);
  SetChecked(kIncludeHeader, s.bIncludeHeader != 0);
  SetChecked(kAutoView, s.bAutoView != 0);
  CheckRadioInRange(*this, kDigiScan, kJupiterExpert, kDigiScan + s.readerSubType);
  CheckRadioInRange(*this, kDot, kComma, kDot + s.bDelimComma);

  auto* ports = qobject_cast<QComboBox*>(Item(kPortList));
  for (int n = 1; n <= 4; ++n) ports->addItem(QStringLiteral("COM%1").arg(n));
  ports->setCurrentIndex(s.nComPort >= 1 && s.nComPort <= 4 ? s.nComPort - 1 : 0);

  for (int n = 1; n <= 4; ++n) devices_[n] = PortMap.szDevice[n];
  UpdatePortToolTip();
  connect(ports, &QComboBox::currentIndexChanged, this, &OptionsDialog::UpdatePortToolTip);
}

void OptionsDialog::AddDeviceButton() {
  // Beside the port list, in the dialog's own units; the template's
  // controls keep their places and the dialog grows to the right.
  constexpr int kButtonX = 108, kButtonY = 141, kButtonWidth = 44, kButtonHeight = 14;
  deviceButton_ = new QPushButton(QStringLiteral("D&evice..."), this);
  deviceButton_->setGeometry(DialogUnitsToPixels(kButtonX, kButtonY, kButtonWidth, kButtonHeight));
  deviceButton_->setAutoDefault(false);
  setFixedSize(width() + DialogUnitsToPixels(0, 0, kButtonWidth + 5, 0).width(), height());
  setTabOrder(Item(kPortList), deviceButton_);
  connect(deviceButton_, &QPushButton::clicked, this, &OptionsDialog::ChooseDevice);
}

int OptionsDialog::SelectedPort() const {
  const int index = qobject_cast<QComboBox*>(Item(kPortList))->currentIndex();
  return index >= 0 && index <= 3 ? index + 1 : 1;
}

void OptionsDialog::UpdatePortToolTip() {
  const int port = SelectedPort();
  Item(kPortList)->setToolTip(PortToolTip(port, devices_[port]));
}

void OptionsDialog::ChooseDevice() {
  const int port = SelectedPort();
  DeviceChooser chooser(this, port, devices_[port]);
  if (chooser.exec() != QDialog::Accepted) return;
  devices_[port] = chooser.Chosen();
  UpdatePortToolTip();
}

bool OptionsDialog::OnCommand(int id) {
  switch (id) {
    case kOk:
      done(StoreSettings());
      return true;
    case kCancel:
      done(kCancel);
      return true;
    default:
      return false;  // the controls keep their own state until OK
  }
}

int OptionsDialog::StoreSettings() {
  TAppSettings& s = AppSettings;
  bool changed = false;
  int port = qobject_cast<QComboBox*>(Item(kPortList))->currentIndex();
  if (port < 0 || port > 3) port = 0;
  Store(s.nComPort, port + 1, &changed);
  Store(s.bDelimComma, IsChecked(kComma) ? 1 : 0, &changed);
  Store(s.readerSubType, IsChecked(kJupiterExpert) ? 1 : 0, &changed);
  // The families talk at different speeds.
  Store(s.nBaudRate, s.readerSubType != 0 ? 19200 : 9600, &changed);
  Store(s.bAutoView, IsChecked(kAutoView) ? 1 : 0, &changed);
  Store(s.bAutoCopy, IsChecked(kAutoCopy) ? 1 : 0, &changed);
  Store(s.bIncludeHeader, IsChecked(kIncludeHeader) ? 1 : 0, &changed);
  // The trace is no concern of the main dialog's: it does not count as a change.
  trace_->Store();
  for (int n = 1; n <= 4; ++n) {
    if (PortMap.szDevice[n] == devices_[n]) continue;
    PortMap.szDevice[n] = devices_[n];
    PortMap.bChosen[n] = true;
    changed = true;
  }
  return changed ? kOk : kCancel;
}

int RunOptionsDialog(QWidget* owner, const QRect* buttonRect) {
  OptionsDialog dialog(owner, buttonRect);
  return dialog.exec() == kOk ? kOk : kCancel;
}
