#include "analysis_ui/last_folder.h"

#include <QDir>
#include <QFileInfo>

namespace {
QString lastFolder;
}

QString InLastFolder(const QString& suggested) {
  if (lastFolder.isEmpty() || suggested.contains(QLatin1Char('/'))) return suggested;
  return QDir(lastFolder).filePath(suggested);
}

void RememberFolder(const QString& chosen) {
  if (!chosen.isEmpty()) lastFolder = QFileInfo(chosen).absolutePath();
}
