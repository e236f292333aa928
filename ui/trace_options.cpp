#include "ui/trace_options.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>

#include "dialogs/template_dialog.h"
#include "results/shared_state.h"
#include "ui/operation_trace.h"

namespace {

// Dialog units: a row for the check box and the button, one for the file.
constexpr int kLeft = 12;
constexpr int kRowHeight = 14;
constexpr int kGap = 4;
constexpr int kButtonWidth = 30;

QString ChooseWithDialog(QWidget* parent, const QString& current) {
  const QString start =
      current.isEmpty() ? QDir::home().filePath(QStringLiteral("platovix-line.trace")) : current;
  // The trace is appended to, so an existing file is no reason to ask.
  return QFileDialog::getSaveFileName(parent, QStringLiteral("Line trace file"), start,
                                      QStringLiteral("Line traces (*.trace *.txt);;All files (*)"),
                                      nullptr, QFileDialog::DontConfirmOverwrite);
}

TraceOptions::FileChooser fileChooser = ChooseWithDialog;

}  // namespace

TraceOptions::TraceOptions(TemplateDialog& dialog)
    : QObject(&dialog),
      dialog_(dialog),
      enabled_(new QCheckBox(QStringLiteral("Write a line &trace"), &dialog)),
      chooseButton_(new QPushButton(QStringLiteral("F&ile..."), &dialog)),
      fileLabel_(new QLabel(&dialog)),
      file_(QString::fromStdString(AppSettings.TraceFile)) {
  enabled_->setObjectName(QStringLiteral("traceEnabled"));
  chooseButton_->setObjectName(QStringLiteral("traceFileButton"));
  fileLabel_->setObjectName(QStringLiteral("traceFile"));
  chooseButton_->setAutoDefault(false);

  // Below everything the dialog holds so far, across its width.
  int bottom = 0;
  for (QWidget* child : dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (child != enabled_ && child != chooseButton_ && child != fileLabel_) {
      bottom = std::max(bottom, child->geometry().bottom());
    }
  }
  const QRect unit = dialog.DialogUnitsToPixels(0, 0, 4, 8);
  const int width = dialog.width() * 4 / unit.width();
  const int top = (bottom + 1) * 8 / unit.height() + kGap;
  const int inner = width - 2 * kLeft;
  // The check box across the dialog; below it the file's name and the button.
  enabled_->setGeometry(dialog.DialogUnitsToPixels(kLeft, top, inner, kRowHeight - 2));
  const int fileRow = top + kRowHeight;
  chooseButton_->setGeometry(
      dialog.DialogUnitsToPixels(width - kLeft - kButtonWidth, fileRow, kButtonWidth, kRowHeight));
  fileLabel_->setGeometry(
      dialog.DialogUnitsToPixels(kLeft, fileRow + 3, inner - kButtonWidth - 2, 8));
  const QSize grown =
      dialog.DialogUnitsToPixels(0, 0, width, fileRow + kRowHeight + 2 * kGap).size();
  dialog.setFixedSize(dialog.width(), std::max(dialog.height(), grown.height()));

  enabled_->setChecked(AppSettings.TraceEnabled != 0);
  ShowFile();
  connect(chooseButton_, &QPushButton::clicked, this, [this] { ChooseFile(); });
  // Turning the trace on wants a file: asked for the first time only.
  connect(enabled_, &QCheckBox::clicked, this, [this](bool on) {
    if (on && file_.isEmpty()) ChooseFile();
    if (file_.isEmpty()) enabled_->setChecked(false);
  });
}

void TraceOptions::ChooseFile() {
  const QString file = fileChooser(&dialog_, file_);
  if (file.isEmpty()) return;
  file_ = file;
  chosen_ = true;
  ShowFile();
}

void TraceOptions::ShowFile() {
  const QString text = file_.isEmpty() ? QStringLiteral("(no file chosen)") : file_;
  fileLabel_->setToolTip(file_);
  fileLabel_->setText(
      fileLabel_->fontMetrics().elidedText(text, Qt::ElideMiddle, fileLabel_->width()));
}

void TraceOptions::Store() {
  const uint8_t enabled = enabled_->isChecked() && !file_.isEmpty() ? 1 : 0;
  const std::string file = file_.toStdString();
  // A file chosen again (even the same one) gets a fresh start after a failure.
  if (chosen_ || enabled != AppSettings.TraceEnabled || file != AppSettings.TraceFile) {
    ResetOperationTrace();
  }
  AppSettings.TraceEnabled = enabled;
  AppSettings.TraceFile = file;
}

void TraceOptions::SetFileChooser(FileChooser chooser) {
  fileChooser = chooser != nullptr ? chooser : ChooseWithDialog;
}
