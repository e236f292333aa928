#include "analysis_ui/read_caption.h"

#include <ctime>

#include "analysis_ui/shown_plate.h"
#include "results/file_time.h"

namespace {

// ISO date and time: unambiguous in every locale.
QString ReadTime(uint64_t fileTime) {
  std::tm calendar{};
  if ((fileTime >> 32) == 0 || !FileTimeToCalendar(fileTime, &calendar)) return {};
  char text[32];
  if (std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &calendar) == 0) return {};
  return QString::fromLatin1(text);
}

}  // namespace

QString ReadCaption(const ShownPlate& shown) {
  QStringList parts;
  parts << (shown.plateId.empty()
                ? QStringLiteral("no plate ID")
                : QStringLiteral("Plate ID %1").arg(QString::fromStdString(shown.plateId)));
  QString when = ReadTime(shown.plate.ftMeasured);
  if (when.isEmpty()) when = ReadTime(shown.plate.ftStarted);
  if (!when.isEmpty()) parts << QStringLiteral("read %1").arg(when);
  if (!shown.archiveUuid.empty()) {
    parts
        << QStringLiteral("record %1").arg(QString::fromStdString(shown.archiveUuid.substr(0, 8)));
  } else if (!shown.fileName.isEmpty()) {
    parts << shown.fileName;
  }
  return parts.join(QStringLiteral(" · "));
}

bool UnfinishedRead(const ShownPlate& shown) {
  return shown.status == "aborted" || shown.status == "failed";
}

QString UnfinishedReadText(const ShownPlate& shown) {
  if (shown.status == "aborted") return QStringLiteral("Aborted read: no valid data");
  if (shown.status != "failed") return {};
  QString text = QStringLiteral("Failed read: no valid data");
  const QString why = QString::fromStdString(shown.statusMessage).trimmed();
  if (!why.isEmpty()) text += QStringLiteral(" (%1)").arg(why);
  return text;
}

QString UnfinishedReadTitle(const ShownPlate& shown) {
  if (shown.status == "aborted") return QStringLiteral("Aborted read");
  if (shown.status == "failed") return QStringLiteral("Failed read");
  return {};
}
