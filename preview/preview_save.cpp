#include "preview/preview_save.h"

#include <QFileDialog>
#include <QPushButton>
#include <ctime>

#include "analysis_ui/assay_in_use.h"
#include "analysis_ui/last_folder.h"
#include "analysis_ui/layout_in_use.h"
#include "analysis_ui/shown_plate.h"
#include "dialogs/template_dialog.h"
#include "driver/foto.h"
#include "link/operator_message.h"
#include "preview/shown_plate_holder.h"
#include "results/file_time.h"
#include "results/result_file.h"

namespace {

constexpr int kCloseId = 2;
// Left of "Close" (256, 112, 38 x 14), right of the header line.
constexpr int kSaveX = 212, kSaveY = 112, kSaveWidth = 38, kSaveHeight = 14;

const QString kCsvFilter = QStringLiteral("CSV (*.csv)");
const QString kJsonFilter = QStringLiteral("JSON (*.json)");
const QString kWorkbookFilter = QStringLiteral("Excel workbook (*.xlsx)");
const QString kAsmFilter = QStringLiteral("Allotrope ASM (*.json)");

// Our JSON and ASM share the extension: the type chosen in the dialog
// decides, and a name ending in .asm.json is ASM whichever was chosen.
bool asmChosen = false;

bool IsAsmName(const QString& name) {
  return asmChosen || name.toLower().endsWith(QStringLiteral(".asm.json"));
}

QString AskWithFileDialog(QWidget* parent, const QString& suggestedName) {
  QString filter = kCsvFilter;
  QString name = QFileDialog::getSaveFileName(
      parent, QStringLiteral("Save"), InLastFolder(suggestedName),
      kCsvFilter + ";;" + kJsonFilter + ";;" + kWorkbookFilter + ";;" + kAsmFilter, &filter);
  asmChosen = filter == kAsmFilter;
  // A name typed without an extension takes the one of the chosen type.
  const QString lower = name.toLower();
  if (!name.isEmpty() && !lower.endsWith(".csv") && !lower.endsWith(".json") &&
      !lower.endsWith(".xlsx")) {
    name += filter == kJsonFilter || filter == kAsmFilter ? ".json"
            : filter == kWorkbookFilter                   ? ".xlsx"
                                                          : ".csv";
  }
  RememberFolder(name);
  return name;
}

SaveFileChooser chooseFile = AskWithFileDialog;

void SavePlate(QWidget* owner, ShownPlate shown, bool decimalComma) {
  const TPlateResult& plate = shown.plate;
  const ResultContext context = ShownFileContext(shown);
  const QString name = chooseFile(owner, DefaultResultFileName(plate));
  if (name.isEmpty()) return;
  const std::string path = name.toLocal8Bit().toStdString();
  std::string error;
  // The workbook and the ASM document carry the layout in use and its
  // analysis beside the plate.
  const bool asmFile = name.toLower().endsWith(".json") && IsAsmName(name);
  asmChosen = false;
  shown.fileName = name;
  const bool saved = name.toLower().endsWith(".xlsx")
                         ? SaveWorkbook(path, shown, AnalysedLayout(owner), &error)
                     : asmFile ? SaveAsmDocument(path, shown, AnalysedLayout(owner), &error)
                               : SaveResultFile(path, plate, context, decimalComma, &error);
  if (!saved) {
    ShowMessageBox(owner, (name + "\n").toLocal8Bit().toStdString() + error, "Error", kIconError);
  }
}

}  // namespace

QString DefaultResultFileName(const TPlateResult& plate) {
  std::tm when{};
  char stamp[32] = "";
  if (plate.ftMeasured != 0 && FileTimeToCalendar(plate.ftMeasured, &when)) {
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S-", &when);
  }
  return QStringLiteral("plate-%1%2nm.csv").arg(QString::fromLatin1(stamp)).arg(plate.nPrimary);
}

void SetSaveFileChooserForTesting(SaveFileChooser chooser) {
  chooseFile = chooser != nullptr ? chooser : AskWithFileDialog;
}

ResultContext ShownResultContext() {
  ResultContext context;
  context.readerKind = AppSettings.readerSubType == 0 ? "DigiScan" : "Jupiter / Expert";
  if (pDriver != nullptr) context.readerId = pDriver->szReaderId;
  context.started = InstantOfFileTime(PlateResult.ftStarted);
  context.completed = InstantOfFileTime(PlateResult.ftMeasured);
  return context;
}

void AddSaveButton(TemplateDialog& preview, const ShownPlate& shown) {
  const bool decimalComma = AppSettings.bDelimComma != 0;

  auto* save = new QPushButton(QStringLiteral("&Save..."), &preview);
  save->setObjectName(QStringLiteral("save"));
  save->setAutoDefault(false);  // Enter keeps its meaning in the preview
  save->setGeometry(preview.DialogUnitsToPixels(kSaveX, kSaveY, kSaveWidth, kSaveHeight));
  if (QWidget* close = preview.Item(kCloseId)) QWidget::setTabOrder(close, save);
  QObject::connect(save, &QPushButton::clicked, &preview, [&preview, shown, decimalComma] {
    SavePlate(&preview, CurrentShownPlate(preview, shown), decimalComma);
  });
}
