// The preview's heat map: the value cells coloured from the lowest to the
// highest value of the plate, a legend with both ends, and the role of each
// well in the layout in use marked by a letter in the cell's corner.
#pragma once

#include <QObject>
#include <array>

#include "results/shared_state.h"

class QCheckBox;
class QLabel;
class TemplateDialog;

// One letter per well: 'B' blank, 'S' standard, 'C' control, 0 for none.
using RoleMarks = std::array<char, kWells>;

class PreviewHeatMap : public QObject {
  Q_OBJECT

 public:
  // Adds "&Heat map" and the legend below the grid (the preview must have
  // grown to make room) and colours the cells as the settings say.
  PreviewHeatMap(TemplateDialog& preview, const TPlateResult& plate);

  // Colours on or off; kept in the settings.
  void SetShown(bool shown);
  bool IsShown() const;
  void ShowRoleMarks(const RoleMarks& marks);

 private:
  void Paint();
  QLabel* Cell(int well) const;

  TemplateDialog& preview_;
  TPlateResult plate_;
  RoleMarks marks_{};
  int32_t lowest_ = 0, highest_ = 0;
  bool hasValues_ = false;
  QCheckBox* check_ = nullptr;
  QWidget* legend_ = nullptr;
};
