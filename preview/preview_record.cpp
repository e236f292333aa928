#include "preview/preview_record.h"

#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>
#include <optional>

#include "analysis_ui/last_folder.h"
#include "analysis_ui/shown_plate.h"
#include "archive_ui/audit_reason.h"
#include "archive_ui/desktop_archive.h"
#include "dialogs/template_dialog.h"
#include "link/operator_message.h"
#include "preview/data_preview.h"
#include "preview/shown_plate_holder.h"
#include "results/workbook_reader.h"

namespace {

// Below the heat map's row (131), left of "&Report..." (212, 146).
constexpr int kRowY = 146, kLabelX = 19, kLabelWidth = 33, kFieldX = 52, kFieldWidth = 68;
constexpr int kCommentX = 124, kCommentWidth = 42, kOpenX = 170, kOpenWidth = 38, kHeight = 14;

QString AskWithFileDialog(QWidget* parent) {
  const QString name = QFileDialog::getOpenFileName(
      parent, QStringLiteral("Open"), InLastFolder(QString()),
      QStringLiteral("Plate files (*.csv *.json *.xlsx);;All files (*)"));
  RememberFolder(name);
  return name;
}

OpenFileChooser chooseFile = AskWithFileDialog;

// Enter in the field takes the ID and leaves the preview open.
class EnterTakesId : public QObject {
 public:
  EnterTakesId(TemplateDialog& preview, QLineEdit* field)
      : QObject(field), preview_(preview), field_(field) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == field_ && event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        TakePlateId(preview_, field_->text());
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  TemplateDialog& preview_;
  QLineEdit* field_;
};

QLineEdit* PlateIdField(TemplateDialog& preview) {
  return preview.findChild<QLineEdit*>(QStringLiteral("plateId"));
}

void AddComment(TemplateDialog& preview) {
  const ShownPlate* shown = KeptShownPlate(preview);
  if (shown == nullptr || shown->archiveUuid.empty()) return;
  const std::optional<std::string> text =
      AskAuditReason(&preview, QStringLiteral("Comment on this read:"));
  if (text) StoreDesktopAudit(&preview, shown->archiveUuid, "comment", "comment", *text);
}

void OpenPlateFile(TemplateDialog& preview) {
  const QString name = chooseFile(&preview);
  if (name.isEmpty()) return;
  const SavedPlates read = ReadPlateFile(name.toLocal8Bit().toStdString());
  if (!read.ok || read.plates.empty()) {
    ShowMessageBox(&preview, read.ok ? name.toLocal8Bit().toStdString() + ": no plate" : read.error,
                   "Error", kIconError);
    return;
  }
  if (read.plates.size() > 1) {
    ShowMessageBox(&preview,
                   QStringLiteral("%1 holds %2 plates; the first is shown.")
                       .arg(QFileInfo(name).fileName())
                       .arg(read.plates.size())
                       .toLocal8Bit()
                       .toStdString(),
                   "Open", kIconInformation);
  }
  ShownPlate shown{read.plates[0].plate, read.plates[0].context, QFileInfo(name).fileName()};
  std::unique_ptr<TemplateDialog> opened = CreateDataPreview(&preview, shown);
  opened->setObjectName(QStringLiteral("openedPreview"));
  opened->setWindowTitle(opened->windowTitle() + QStringLiteral(" - ") + shown.fileName);
  opened->setAttribute(Qt::WA_DeleteOnClose);
  opened.release()->show();
}

QPushButton* AddButton(TemplateDialog& preview, const QString& text, const char* name, int x,
                       int width) {
  auto* button = new QPushButton(text, &preview);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  button->setGeometry(preview.DialogUnitsToPixels(x, kRowY, width, kHeight));
  return button;
}

}  // namespace

void AddRecordControls(TemplateDialog& preview) {
  const ShownPlate* shown = KeptShownPlate(preview);
  auto* field = new QLineEdit(&preview);
  field->setObjectName(QStringLiteral("plateId"));
  field->setGeometry(preview.DialogUnitsToPixels(kFieldX, kRowY + 1, kFieldWidth, 12));
  if (shown != nullptr) field->setText(QString::fromStdString(shown->plateId));
  field->installEventFilter(new EnterTakesId(preview, field));
  // Leaving the field takes what was typed too, as Enter does.
  QObject::connect(field, &QLineEdit::editingFinished, &preview,
                   [&preview, field] { TakePlateId(preview, field->text()); });
  auto* label = new QLabel(QStringLiteral("Plate &ID:"), &preview);
  label->setBuddy(field);
  label->setGeometry(preview.DialogUnitsToPixels(kLabelX, kRowY + 3, kLabelWidth, 8));

  QPushButton* comment =
      AddButton(preview, QStringLiteral("&Comment..."), "comment", kCommentX, kCommentWidth);
  comment->setEnabled(shown != nullptr && !shown->archiveUuid.empty());
  QObject::connect(comment, &QPushButton::clicked, &preview, [&preview] { AddComment(preview); });
  QPushButton* open = AddButton(preview, QStringLiteral("&Open..."), "open", kOpenX, kOpenWidth);
  QObject::connect(open, &QPushButton::clicked, &preview, [&preview] { OpenPlateFile(preview); });
}

bool TakePlateId(TemplateDialog& preview, const QString& text) {
  ShownPlate* shown = KeptShownPlate(preview);
  QLineEdit* field = PlateIdField(preview);
  // The reason's dialog takes the focus: the field's editingFinished then
  // must not ask again.
  static bool asking = false;
  if (shown == nullptr || asking) return false;
  const std::string id = text.trimmed().toStdString();
  if (id == shown->plateId) return false;
  if (!shown->archiveUuid.empty()) {
    std::string why = "entered after the read";
    if (!shown->plateId.empty()) {
      asking = true;
      const std::optional<std::string> reason = AskAuditReason(
          &preview, QStringLiteral("Reason for changing the plate ID from %1 to %2:")
                        .arg(QString::fromStdString(shown->plateId), QString::fromStdString(id)));
      asking = false;
      if (!reason) {
        if (field != nullptr) field->setText(QString::fromStdString(shown->plateId));
        return false;
      }
      why = *reason;
    }
    if (!StoreDesktopAudit(&preview, shown->archiveUuid, "plate ID", why, id)) {
      if (field != nullptr) field->setText(QString::fromStdString(shown->plateId));
      return false;  // not recorded, not made
    }
    NoteLastArchivedPlateId(shown->archiveUuid, id);
  }
  shown->plateId = id;
  if (field != nullptr) field->setText(QString::fromStdString(id));
  return true;
}

void SetOpenFileChooserForTesting(OpenFileChooser chooser) {
  chooseFile = chooser != nullptr ? chooser : AskWithFileDialog;
}
