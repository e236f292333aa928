#include "preview/data_preview.h"

#include <QPointer>

#include "analysis_ui/analysis_window.h"
#include "analysis_ui/shown_plate.h"
#include "archive_ui/desktop_archive.h"
#include "dialogs/template_dialog.h"
#include "preview/preview_analysis.h"
#include "preview/preview_heat_map.h"
#include "preview/preview_record.h"
#include "preview/preview_save.h"
#include "preview/preview_status.h"
#include "preview/shown_plate_holder.h"
#include "results/result_text.h"
#include "results/shared_state.h"

namespace {

constexpr int kFirstCellId = 102;
constexpr int kHeaderLineId = 217;
// The template's 303 x 132 dialog units, with a row below for the heat map
// and the analysis, and one for the report.
constexpr int kGrownWidth = 303, kGrownHeight = 166;

}  // namespace

void FillPreview(TemplateDialog& preview, const TPlateResult& plate) {
  const bool decimalComma = AppSettings.bDelimComma != 0;
  char number[kWellTextSize];
  for (int well = 0; well < kWells; ++well) {
    const int32_t value = plate.nValue[well];
    // A well the reader gave no value for stays blank here.
    if (value == kNoValue) {
      number[0] = '\0';
    } else {
      FormatWellValue(value, decimalComma, number, sizeof number);
    }
    preview.SetItemText(kFirstCellId + well, QString::fromLatin1(number));
  }
  // An ISO date: a short locale date such as 12/09/26 reads three ways.
  preview.SetItemText(kHeaderLineId, QString::fromLocal8Bit(ResultHeaderOf(plate, "%Y-%m-%d")));
  // The cells were drawn up for narrower digits than this font's: a number
  // must never lose its sign or a digit at the edge.
  preview.FitLabelFonts(kFirstCellId, kFirstCellId + kWells - 1);
  preview.FitLabelFonts(kHeaderLineId, kHeaderLineId);
}

ShownPlate LastShownPlate() {
  // The last read's record, when it was stored.
  const ArchivedRecord& record = LastArchivedRecord();
  return {PlateResult,    ShownResultContext(), DefaultResultFileName(PlateResult),
          record.plateId, record.operatorName,  record.uuid,
          record.hash};
}

std::unique_ptr<TemplateDialog> CreateDataPreview(QWidget* owner) {
  return CreateDataPreview(owner, LastShownPlate());
}

std::unique_ptr<TemplateDialog> CreateDataPreview(QWidget* owner, const ShownPlate& shown) {
  auto preview = std::make_unique<TemplateDialog>(PreviewDialogTemplate(), owner);
  if (owner && !owner->windowIcon().isNull()) preview->setWindowIcon(owner->windowIcon());
  // A snapshot: filled once, it does not follow later results.
  FillPreview(*preview, shown.plate);
  KeepShownPlate(*preview, shown);
  AddSaveButton(*preview, shown);
  preview->setFixedSize(preview->DialogUnitsToPixels(0, 0, kGrownWidth, kGrownHeight).size());
  auto* heatMap = new PreviewHeatMap(*preview, shown.plate);
  AddAnalysisButtons(*preview, *heatMap, shown);
  ShowLayoutRoles(*preview, *heatMap, shown);
  AddRecordControls(*preview);
  ShowReadStatus(*preview, shown);
  return preview;
}

namespace {
// The preview shown beside an open analysis window; the next one replaces it.
QPointer<TemplateDialog> besideAnalysis;
}  // namespace

int RunDataPreview(QWidget* owner) {
  std::unique_ptr<TemplateDialog> preview = CreateDataPreview(owner);
  // A modal preview would block the analysis window beside it: both stay
  // usable, the preview as a snapshot of its read.
  if (const AnalysisWindow* analysis = OpenAnalysisWindow();
      analysis != nullptr && analysis->isVisible()) {
    if (besideAnalysis != nullptr) besideAnalysis->close();
    besideAnalysis = preview.release();
    besideAnalysis->setAttribute(Qt::WA_DeleteOnClose);
    besideAnalysis->show();
    return 0;
  }
  return preview->exec();
}
