#include "archive_ui/audit_reason.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

std::optional<std::string> AskAuditReason(QWidget* owner, const QString& question,
                                          const QString& suggested) {
  QDialog dialog(owner);
  dialog.setObjectName(QStringLiteral("auditReason"));
  dialog.setWindowTitle(QStringLiteral("Reason"));
  auto* label = new QLabel(question, &dialog);
  label->setWordWrap(true);
  auto* reason = new QLineEdit(suggested, &dialog);
  reason->setObjectName(QStringLiteral("reason"));
  label->setBuddy(reason);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
  // Every change to an archived read says why.
  const auto refuseEmpty = [ok, reason] { ok->setEnabled(!reason->text().trimmed().isEmpty()); };
  refuseEmpty();
  QObject::connect(reason, &QLineEdit::textChanged, &dialog, refuseEmpty);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(label);
  layout->addWidget(reason);
  layout->addWidget(buttons);
  if (dialog.exec() != QDialog::Accepted || reason->text().trimmed().isEmpty()) {
    return std::nullopt;
  }
  return reason->text().simplified().toStdString();
}
