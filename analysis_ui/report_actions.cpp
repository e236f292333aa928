#include "analysis_ui/report_actions.h"

#include <platovix_version.h>

#include <QCheckBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QUrl>

#include "analysis_ui/assay_in_use.h"
#include "archive_ui/desktop_archive.h"
#include "link/operator_message.h"
#include "report/report_input.h"
#include "results/shared_state.h"

namespace {

// The file dialog with the "Open after saving" check below its fields; the
// tick is kept in the settings.
QString AskWithFileDialog(QWidget* parent, const QString& suggested) {
  QFileDialog dialog(parent, QStringLiteral("Save report"), suggested,
                     QStringLiteral("PDF (*.pdf)"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("pdf"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);  // a native one takes no extra control
  auto* open = new QCheckBox(QStringLiteral("&Open after saving"), &dialog);
  open->setChecked(AppSettings.OpenReportAfterSaving != 0);
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
    grid->addWidget(open, grid->rowCount(), 0, 1, grid->columnCount());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  AppSettings.OpenReportAfterSaving = open->isChecked() ? 1 : 0;
  return dialog.selectedFiles().constFirst();
}

ReportFileChooser chooseFile = AskWithFileDialog;

}  // namespace

void SetReportFileChooserForTesting(ReportFileChooser chooser) {
  chooseFile = chooser != nullptr ? chooser : AskWithFileDialog;
}

PlateReport ShownPlateReport(const ShownPlate& shown, const analysis::PlateLayout* layout) {
  ReportInput input;
  input.plate = shown.plate;
  input.context = ShownFileContext(shown);
  // The assay the plate was read with, else the one in use, as the
  // analysis window analyses it.
  if (shown.assay) {
    input.assay = shown.assay;
  } else if (const analysis::Assay* inUse = AssayInUse(nullptr)) {
    input.assay = *inUse;
  } else if (layout != nullptr) {
    input.layout = *layout;
    input.layoutName =
        QFileInfo(QString::fromStdString(AppSettings.LayoutFile)).fileName().toStdString();
    input.options = ChosenAnalysisOptions();
  }
  input.model = shown.model;
  input.weighting = shown.weighting;
  input.excluded = shown.excluded;
  input.comments = shown.comments;
  input.plateId = shown.plateId;
  // An ID entered in the preview after the read, for a window that has
  // shown the read since before.
  const ArchivedRecord& last = LastArchivedRecord();
  if (!shown.archiveUuid.empty() && shown.archiveUuid == last.uuid) input.plateId = last.plateId;
  input.operatorName =
      !shown.operatorName.empty() ? shown.operatorName : qEnvironmentVariable("USER").toStdString();
  input.programVersion = std::string("Platovix ") + PLATOVIX_VERSION;
  input.archiveUuid = shown.archiveUuid;
  input.archiveHash = shown.archiveHash;
  // The archive the desktop reads its records from: the lab's, or the local one.
  if (!shown.archiveUuid.empty())
    input.archiveName = archive::ReadingArchiveName(DesktopStoreConfig());
  input.status = shown.status;
  input.statusMessage = shown.statusMessage;
  input.decimalComma = AppSettings.bDelimComma != 0;
  return MakePlateReport(input);
}

bool SaveShownPlateReport(QWidget* parent, const ShownPlate& shown,
                          const analysis::PlateLayout* layout) {
  const QString suggested = QFileInfo(shown.fileName).completeBaseName() + QStringLiteral(".pdf");
  const QString name = chooseFile(parent, suggested);
  if (name.isEmpty()) return false;
  QString error;
  if (!WritePlateReportPdf(ShownPlateReport(shown, layout), name, &error)) {
    ShowMessageBox(parent, (name + "\n" + error).toLocal8Bit().toStdString(), "Error", kIconError);
    return false;
  }
  if (AppSettings.OpenReportAfterSaving != 0) QDesktopServices::openUrl(QUrl::fromLocalFile(name));
  return true;
}

bool SaveReportPdf(QWidget* parent, const QString& suggested,
                   const std::function<bool(const QString& path, QString* error)>& write) {
  const QString name = chooseFile(parent, suggested);
  if (name.isEmpty()) return false;
  QString error;
  if (!write(name, &error)) {
    ShowMessageBox(parent, (name + "\n" + error).toLocal8Bit().toStdString(), "Error", kIconError);
    return false;
  }
  if (AppSettings.OpenReportAfterSaving != 0) QDesktopServices::openUrl(QUrl::fromLocalFile(name));
  return true;
}

void PrintShownPlateReport(QWidget* parent, const ShownPlate& shown,
                           const analysis::PlateLayout* layout) {
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, parent);
  dialog.setWindowTitle(QStringLiteral("Print report"));
  if (dialog.exec() != QDialog::Accepted) return;
  PaintPlateReport(ShownPlateReport(shown, layout), &printer);
}
