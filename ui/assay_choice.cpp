#include "ui/assay_choice.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "analysis_ui/analysis_window.h"
#include "analysis_ui/assay_in_use.h"
#include "analysis_ui/assay_window.h"
#include "driver/foto.h"
#include "preview/data_preview.h"
#include "preview/preview_save.h"
#include "results/shared_state.h"
#include "ui/kinetic_run.h"
#include "ui/main_dialog.h"

namespace {

// The column right of the template's 142 x 145 dialog units.
constexpr int kColumnX = 146, kColumnWidth = 92, kDialogWidth = 242;

// The assay's own name (and version); a file that does not read is named
// by itself, and says why when chosen.
QString AssayTitle(const std::string& path) {
  const analysis::AssayParse parse = analysis::ReadAssayFile(path);
  if (!parse.ok) return QFileInfo(QString::fromLocal8Bit(path.c_str())).completeBaseName();
  QString title = QString::fromStdString(parse.assay.name);
  if (!parse.assay.version.empty())
    title += QLatin1Char(' ') + QString::fromStdString(parse.assay.version);
  return title;
}

void FillAssayList(MainDialog& dialog) {
  QComboBox* list = AssayList(dialog);
  list->clear();
  list->addItem(QStringLiteral("None"), QString());
  std::vector<std::string> paths;
  if (!AppSettings.AssayFile.empty()) paths.push_back(AppSettings.AssayFile);
  for (const std::string& recent : AppSettings.RecentAssays) {
    if (!recent.empty() && std::find(paths.begin(), paths.end(), recent) == paths.end()) {
      paths.push_back(recent);
    }
  }
  for (const std::string& path : paths) {
    const QString name = QString::fromLocal8Bit(path.c_str());
    list->addItem(AssayTitle(path), name);
    list->setItemData(list->count() - 1, name, Qt::ToolTipRole);  // which file
  }
  list->setCurrentIndex(AppSettings.AssayFile.empty() ? 0 : 1);
}

void ShowAssayFilters(MainDialog& dialog, const analysis::Assay& assay) {
  SetFilterText(dialog.Combo(kPrimaryList), assay.reading.primary);
  SetFilterText(dialog.Combo(kReferenceList), assay.reading.reference.value_or(0));
  dialog.SetChecked(kReferenceCheck, assay.reading.reference.has_value());
  UpdateReferenceVisibility(dialog);
}

// An assay that reads a series fills in the Kinetic controls.
void ShowAssayKinetic(MainDialog& dialog, const analysis::Assay& assay) {
  if (dialog.Kinetic() != nullptr) dialog.Kinetic()->FillFromAssay(assay);
}

// The list's choice made the one in use; a file that fails goes back to None.
void ChooseListedAssay(MainDialog& dialog) {
  const std::string path = AssayList(dialog)->currentData().toString().toLocal8Bit().toStdString();
  if (path.empty()) {
    UseNoAssay();
  } else {
    AppSettings.AssayFile = path;
    if (const analysis::Assay* assay = AssayInUse(dialog.BoxOwner())) {
      UseAssay(path, *assay);
      ShowAssayFilters(dialog, *assay);
      ShowAssayKinetic(dialog, *assay);
    }
  }
  FillAssayList(dialog);
}

}  // namespace

QComboBox* AssayList(const MainDialog& dialog) {
  return dialog.findChild<QComboBox*>(QStringLiteral("assay"));
}

void AddAssayControls(MainDialog& dialog) {
  auto* label = new QLabel(QStringLiteral("Assay"), &dialog);
  label->setGeometry(dialog.DialogUnitsToPixels(kColumnX, 7, kColumnWidth, 8));
  auto* list = new QComboBox(&dialog);
  list->setObjectName(QStringLiteral("assay"));
  list->setGeometry(dialog.DialogUnitsToPixels(kColumnX, 20, kColumnWidth, 12));
  auto* open = new QPushButton(QStringLiteral("A&ssay..."), &dialog);
  open->setObjectName(QStringLiteral("assayWindow"));
  open->setAutoDefault(false);
  open->setGeometry(dialog.DialogUnitsToPixels(kColumnX, 39, 45, 14));
  dialog.setFixedSize(dialog.DialogUnitsToPixels(0, 0, kDialogWidth, 145).size());

  // A file gone or broken since the last start: one warning, then None.
  if (!AppSettings.AssayFile.empty()) AssayInUse(dialog.BoxOwner());
  FillAssayList(dialog);
  QObject::connect(list, &QComboBox::activated, &dialog, [&dialog] { ChooseListedAssay(dialog); });
  QObject::connect(open, &QPushButton::clicked, &dialog, [&dialog] {
    if (RunAssayWindow(&dialog)) {
      if (const analysis::Assay* assay = AssayInUse(dialog.BoxOwner())) {
        ShowAssayFilters(dialog, *assay);
        ShowAssayKinetic(dialog, *assay);
      }
    }
    FillAssayList(dialog);
  });
}

void FillKineticFromAssayInUse(MainDialog& dialog) {
  if (AppSettings.AssayFile.empty()) return;
  if (const analysis::Assay* assay = AssayInUse(dialog.BoxOwner()))
    ShowAssayKinetic(dialog, *assay);
}

bool PrepareAssayMeasure(MainDialog& dialog) {
  if (AppSettings.AssayFile.empty()) return true;
  const analysis::Assay* assay = AssayInUse(dialog.BoxOwner());
  FillAssayList(dialog);
  if (assay == nullptr) return false;
  ShowAssayFilters(dialog, *assay);
  return true;
}

void ShowNewPlateAnalysis(MainDialog& dialog) {
  const ShownPlate shown = LastShownPlate();  // with its archive record
  if (!AppSettings.AssayFile.empty() && AssayInUse(dialog.BoxOwner()) != nullptr) {
    ShowAnalysisWindow(&dialog, shown);
  } else if (AnalysisWindow* open = OpenAnalysisWindow()) {
    open->SetPlate(shown);
  }
}

void ShowUnfinishedRead(int id) {
  AnalysisWindow* open = OpenAnalysisWindow();
  if (open == nullptr) return;
  // The plate it showed is no longer the last read: it must not stand with
  // its verdict as if it were.
  ShownPlate shown = LastShownPlate();
  shown.status = id == kUserAborted ? "aborted" : "failed";
  if (id == kReaderTimeout) shown.statusMessage = "Reader not responding.";
  if (id == kOperationFailed && pDriver != nullptr) shown.statusMessage = pDriver->szMessage;
  open->SetPlate(shown);
}
