#include "preview/preview_analysis.h"

#include <QPushButton>

#include "analysis_ui/analysis_window.h"
#include "analysis_ui/assay_in_use.h"
#include "analysis_ui/layout_editor.h"
#include "analysis_ui/layout_in_use.h"
#include "analysis_ui/report_actions.h"
#include "dialogs/template_dialog.h"
#include "preview/preview_heat_map.h"
#include "preview/preview_save.h"
#include "preview/shown_plate_holder.h"

namespace {

constexpr int kButtonY = 129, kButtonWidth = 38, kButtonHeight = 14;
constexpr int kLayoutX = 212, kAnalysisX = 256;
constexpr int kReportY = 146;

QPushButton* AddButton(TemplateDialog& preview, const QString& text, const char* name, int x,
                       int y = kButtonY) {
  auto* button = new QPushButton(text, &preview);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);  // Enter keeps its meaning in the preview
  button->setGeometry(preview.DialogUnitsToPixels(x, y, kButtonWidth, kButtonHeight));
  return button;
}

}  // namespace

void ShowLayoutRoles(TemplateDialog& preview, PreviewHeatMap& heatMap, const ShownPlate& shown) {
  RoleMarks marks{};
  if (const analysis::PlateLayout* layout = ShownLayout(shown, AnalysedLayout(&preview))) {
    for (int well = 0; well < kWells; ++well) {
      switch (layout->wells[well].role) {
        case analysis::WellRole::Blank:
          marks[well] = 'B';
          break;
        case analysis::WellRole::Standard:
          marks[well] = 'S';
          break;
        case analysis::WellRole::Control:
          marks[well] = 'C';
          break;
        default:
          break;
      }
    }
  }
  heatMap.ShowRoleMarks(marks);
}

void AddAnalysisButtons(TemplateDialog& preview, PreviewHeatMap& heatMap, const ShownPlate& shown) {
  QPushButton* layout = AddButton(preview, QStringLiteral("&Layout..."), "layout", kLayoutX);
  QPushButton* analysis =
      AddButton(preview, QStringLiteral("A&nalysis..."), "analysis", kAnalysisX);
  QObject::connect(layout, &QPushButton::clicked, &preview, [&preview, &heatMap, shown] {
    RunLayoutEditor(&preview);
    ShowLayoutRoles(preview, heatMap, shown);
  });
  // The plate as kept on the preview when clicked: its plate ID may be new.
  const auto current = [&preview, shown] { return CurrentShownPlate(preview, shown); };
  QObject::connect(analysis, &QPushButton::clicked, &preview, [&preview, &heatMap, current, shown] {
    const ShownPlate analysed = RunAnalysisWindow(&preview, current());
    // Wells excluded there go into the preview's files and reports too.
    if (ShownPlate* kept = KeptShownPlate(preview)) kept->excluded = analysed.excluded;
    // The layout may have been changed from there.
    ShowLayoutRoles(preview, heatMap, shown);
  });
  QPushButton* report =
      AddButton(preview, QStringLiteral("&Report..."), "report", kLayoutX, kReportY);
  QPushButton* print =
      AddButton(preview, QStringLiteral("&Print..."), "print", kAnalysisX, kReportY);
  QObject::connect(report, &QPushButton::clicked, &preview, [&preview, current] {
    SaveShownPlateReport(&preview, current(), LayoutInUse(&preview));
  });
  QObject::connect(print, &QPushButton::clicked, &preview, [&preview, current] {
    PrintShownPlateReport(&preview, current(), LayoutInUse(&preview));
  });
}
