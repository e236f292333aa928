#include "preview/preview_status.h"

#include <QCheckBox>
#include <QLabel>

#include "analysis_ui/read_caption.h"
#include "analysis_ui/shown_plate.h"
#include "dialogs/template_dialog.h"

namespace {

constexpr int kFirstCellId = 102;
// The value cells' area in dialog units, where the banner stands.
constexpr int kGridX = 19, kGridY = 10, kGridWidth = 275, kGridHeight = 96;

}  // namespace

void ShowReadStatus(TemplateDialog& preview, const ShownPlate& shown) {
  if (!UnfinishedRead(shown)) return;
  preview.setWindowTitle(preview.windowTitle() + QStringLiteral(" - ") +
                         UnfinishedReadTitle(shown));
  for (int well = 0; well < kWells; ++well) {
    preview.SetItemText(kFirstCellId + well, QString());
    preview.EnableItem(kFirstCellId + well, false);
  }
  if (auto* heatMap = preview.findChild<QCheckBox*>(QStringLiteral("heatMap"))) {
    heatMap->setChecked(false);
    heatMap->setEnabled(false);
  }
  auto* banner = new QLabel(UnfinishedReadText(shown), &preview);
  banner->setObjectName(QStringLiteral("unfinishedRead"));
  banner->setAlignment(Qt::AlignCenter);
  banner->setWordWrap(true);
  banner->setStyleSheet(
      QStringLiteral("background: rgba(255, 255, 255, 200); color: #c00000; "
                     "font-size: 14pt; font-weight: bold; border: 1px solid #c00000;"));
  const QRect grid = preview.DialogUnitsToPixels(kGridX, kGridY, kGridWidth, kGridHeight);
  banner->setGeometry(
      grid.adjusted(grid.width() / 8, grid.height() / 3, -grid.width() / 8, -grid.height() / 3));
  banner->raise();
}
