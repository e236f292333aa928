#include "ui/qt_message_box.h"

#include <QMessageBox>
#include <QWidget>

namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
  switch (icon) {
    case kIconWarning:
      return QMessageBox::Warning;
    case kIconError:
      return QMessageBox::Critical;
    case kIconInformation:
      break;
  }
  return QMessageBox::Information;
}

}  // namespace

int ShowQtMessageBox(void* owner, const std::string& text, const std::string& caption,
                     MessageIcon icon, MessageButtons buttons) {
  // The texts are single-byte and may carry DOS line ends.
  QString body = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  body.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  const QMessageBox::StandardButtons choice =
      buttons == kButtonsOkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok;
  QMessageBox box(ToQtIcon(icon), QString::fromLatin1(caption.c_str()), body.trimmed(), choice,
                  static_cast<QWidget*>(owner));
  box.setDefaultButton(QMessageBox::Ok);
  return box.exec() == QMessageBox::Ok ? kAnswerOk : kAnswerCancel;
}

void InstallQtMessageBoxes() {
  SetMessageBoxHandler(ShowQtMessageBox);
}
