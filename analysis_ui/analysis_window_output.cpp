// The analysis window's results on their way out: the clipboard (all of the
// table, or its selection with Ctrl+C) and the saved CSV, workbook or ASM file.
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTableWidget>
#include <set>

#include "analysis/analysis_report.h"
#include "analysis_ui/analysis_window.h"
#include "analysis_ui/assay_in_use.h"
#include "analysis_ui/file_questions.h"
#include "link/operator_message.h"
#include "results/atomic_file.h"

bool AnalysisWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == table_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
    CopySelection();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void AnalysisWindow::CopySelection() {
  std::set<int> rows, columns;
  for (const QModelIndex& index : table_->selectionModel()->selectedIndexes()) {
    rows.insert(index.row());
    columns.insert(index.column());
  }
  if (rows.empty()) return;
  QString text;
  const auto line = [&text, &columns](const auto& cell) {
    QStringList cells;
    for (int column : columns) cells << cell(column);
    text += cells.join(QLatin1Char('\t')) + QStringLiteral("\r\n");
  };
  line([this](int column) { return table_->horizontalHeaderItem(column)->text(); });
  for (int row : rows) {
    line([this, row](int column) {
      const QTableWidgetItem* item = table_->item(row, column);
      return item != nullptr && item->isSelected() ? item->text() : QString();
    });
  }
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(text);
}

void AnalysisWindow::CopyResults() {
  if (!hasResult_) return;
  if (QClipboard* clipboard = QGuiApplication::clipboard()) {
    clipboard->setText(
        QString::fromStdString(analysis::ResultsTableText(result_, AppSettings.bDelimComma != 0)));
  }
}

bool AnalysisWindow::SaveResults() {
  if (!hasResult_) return false;
  const QFileInfo plateFile(shown_.fileName);
  const QString suggested = plateFile.completeBaseName() + QStringLiteral("-analysis.csv");
  const QString name = AskForFile(this, FileQuestion::kSaveAnalysis, suggested);
  if (name.isEmpty()) return false;
  const std::string path = name.toLocal8Bit().toStdString();
  std::string error;
  // Here the only JSON is the Allotrope ASM document.
  const QString lower = name.toLower();
  const bool saved =
      lower.endsWith(".xlsx") ? SaveWorkbook(path, shown_, AnalysedLayout(this), &error, excluded_)
      : lower.endsWith(".json")
          ? SaveAsmDocument(path, shown_, AnalysedLayout(this), &error, excluded_)
          : WriteFileAtomically(path, analysis::AnalysisCsv(result_, AppSettings.bDelimComma != 0),
                                &error);
  if (!saved) ShowMessageBox(this, path + "\n" + error, "Error", kIconError);
  return saved;
}
