#include "preview/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>

#include "results/result_text.h"

void CopyResultToClipboard(QWidget* /*owner*/) {
  // Without a GUI application there is no clipboard to take.
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return;

  // The text is ASCII but for the locale's date and time, which strftime
  // wrote in the locale's own encoding.
  auto* data = new QMimeData;
  data->setText(QString::fromLocal8Bit(BuildResultText()));
  clipboard->setMimeData(data, QClipboard::Clipboard);
}
