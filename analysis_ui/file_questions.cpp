#include "analysis_ui/file_questions.h"

#include <QFileDialog>

#include "analysis_ui/last_folder.h"

namespace {

const QString kLayoutFilter = QStringLiteral("Plate layout (*.csv)");
const QString kCsvFilter = QStringLiteral("CSV (*.csv)");
const QString kWorkbookFilter = QStringLiteral("Excel workbook (*.xlsx)");
const QString kAssayFilter = QStringLiteral("Assay (*.json)");
const QString kAsmFilter = QStringLiteral("Allotrope ASM (*.json)");

QString AskInFolder(QWidget* parent, FileQuestion question, const QString& suggested) {
  switch (question) {
    case FileQuestion::kOpenLayout:
      return QFileDialog::getOpenFileName(parent, QStringLiteral("Open layout"), suggested,
                                          kLayoutFilter);
    case FileQuestion::kSaveLayout: {
      QString name = QFileDialog::getSaveFileName(parent, QStringLiteral("Save layout"), suggested,
                                                  kLayoutFilter);
      if (!name.isEmpty() && !name.toLower().endsWith(".csv")) name += ".csv";
      return name;
    }
    case FileQuestion::kOpenAssay:
      return QFileDialog::getOpenFileName(parent, QStringLiteral("Open assay"), suggested,
                                          kAssayFilter);
    case FileQuestion::kSaveAssay: {
      QString name = QFileDialog::getSaveFileName(parent, QStringLiteral("Save assay"), suggested,
                                                  kAssayFilter);
      if (!name.isEmpty() && !name.toLower().endsWith(".json")) name += ".json";
      return name;
    }
    case FileQuestion::kSaveAnalysis: {
      QString filter = kCsvFilter;
      QString name = QFileDialog::getSaveFileName(
          parent, QStringLiteral("Save"), suggested,
          kCsvFilter + ";;" + kWorkbookFilter + ";;" + kAsmFilter, &filter);
      const QString lower = name.toLower();
      if (!name.isEmpty() && !lower.endsWith(".csv") && !lower.endsWith(".xlsx") &&
          !lower.endsWith(".json")) {
        name += filter == kWorkbookFilter ? ".xlsx" : filter == kAsmFilter ? ".json" : ".csv";
      }
      return name;
    }
  }
  return {};
}

QString AskWithFileDialog(QWidget* parent, FileQuestion question, const QString& suggested) {
  const QString name = AskInFolder(parent, question, InLastFolder(suggested));
  RememberFolder(name);
  return name;
}

FileChooser chooseFile = AskWithFileDialog;

}  // namespace

QString AskForFile(QWidget* parent, FileQuestion question, const QString& suggested) {
  return chooseFile(parent, question, suggested);
}

void SetFileChooserForTesting(FileChooser chooser) {
  chooseFile = chooser != nullptr ? chooser : AskWithFileDialog;
}
