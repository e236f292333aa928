#include "ui/device_chooser.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cerrno>

#include "link/operator_message.h"
#include "link/port_refusal.h"

namespace {

SerialDeviceLister& Lister() {
  static SerialDeviceLister lister;
  return lister;
}

std::vector<SerialDevice> CurrentDevices() {
  return Lister() ? Lister()() : ListSerialDevices();
}

QString Local(const std::string& text) {
  return QString::fromLocal8Bit(text.c_str());
}

std::string Trimmed(const QString& text) {
  return text.trimmed().toLocal8Bit().toStdString();
}

}  // namespace

SerialDeviceLister SetSerialDeviceLister(SerialDeviceLister lister) {
  SerialDeviceLister previous = std::move(Lister());
  Lister() = std::move(lister);
  return previous;
}

QString PortToolTip(int n, const std::string& device) {
  const QString name = QStringLiteral("COM%1").arg(n);
  if (n < 1 || n > 4) return name;
  const std::string path = device.empty() ? "/dev/ttyS" + std::to_string(n - 1) : device;
  return QStringLiteral("%1: %2").arg(name, Local(DeviceSummary(path)));
}

DeviceChooser::DeviceChooser(QWidget* owner, int port, const std::string& current)
    : QDialog(owner), list_(new QTreeWidget(this)), path_(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Serial device for COM%1").arg(port));
  auto* layout = new QVBoxLayout(this);
  auto* listLabel = new QLabel(QStringLiteral("&Serial devices present:"), this);
  listLabel->setBuddy(list_);
  layout->addWidget(listLabel);

  list_->setColumnCount(2);
  list_->setHeaderLabels({QStringLiteral("Device"), QStringLiteral("Description")});
  list_->setRootIsDecorated(false);
  list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  list_->setMinimumSize(560, 160);
  layout->addWidget(list_);

  auto* pathLabel = new QLabel(QStringLiteral("&Path:"), this);
  pathLabel->setBuddy(path_);
  layout->addWidget(pathLabel);
  const std::string defaultPath = "/dev/ttyS" + std::to_string(port - 1);
  path_->setPlaceholderText(QStringLiteral("%1 (default)").arg(Local(defaultPath)));
  path_->setText(Local(current));
  layout->addWidget(path_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  QPushButton* refresh =
      buttons->addButton(QStringLiteral("&Refresh"), QDialogButtonBox::ActionRole);
  QPushButton* byDefault =
      buttons->addButton(QStringLiteral("De&fault"), QDialogButtonBox::ResetRole);
  byDefault->setToolTip(QStringLiteral("COM%1 is %2 again").arg(port).arg(Local(defaultPath)));
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &DeviceChooser::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &DeviceChooser::reject);
  connect(refresh, &QPushButton::clicked, this, &DeviceChooser::Refresh);
  connect(byDefault, &QPushButton::clicked, this, &DeviceChooser::ChooseDefault);
  connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (item != nullptr) path_->setText(item->data(0, Qt::UserRole).toString());
  });
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { accept(); });
  Refresh();
}

void DeviceChooser::Refresh() {
  const QString typed = path_->text();
  list_->clear();
  for (const SerialDevice& device : CurrentDevices()) {
    QString description = Local(device.description);
    if (device.device != device.path)
      description += QStringLiteral(" (%1)").arg(Local(device.device));
    if (!device.accessible) description += QStringLiteral(" - no access: see the dialout group");
    auto* item = new QTreeWidgetItem(list_, {Local(device.path), description});
    item->setData(0, Qt::UserRole, Local(device.path));
    item->setToolTip(1, description);
    if (Local(device.path) == typed) list_->setCurrentItem(item);
  }
  path_->setText(typed);
}

void DeviceChooser::accept() {
  const std::string path = Trimmed(path_->text());
  if (!path.empty() && IsNotASerialPort(path)) {
    ShowMessageBox(static_cast<QWidget*>(this), PortRefusalText(path, ENOTTY), "Error", kIconError);
    path_->setFocus();
    return;
  }
  chosen_ = path;
  QDialog::accept();
}

void DeviceChooser::ChooseDefault() {
  chosen_.clear();
  QDialog::accept();
}
