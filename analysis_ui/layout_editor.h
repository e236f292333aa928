// The window "Platovix Layout": the plate's 8 x 12 wells, selected by
// click, drag or row and column header, given a role by button or key
// (b, s, c, u, Delete), standards filled as a dilution series, and the
// layout loaded from and saved to its plate-shaped CSV file. OK makes it
// the layout in use.
#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "analysis/plate_layout.h"
#include "analysis_ui/layout_filling.h"

class QButtonGroup;
class QDoubleSpinBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QTableWidget;

class LayoutEditor : public QDialog {
  Q_OBJECT

 public:
  // Starts from the layout in use, or an empty plate.
  explicit LayoutEditor(QWidget* parent);

  const analysis::PlateLayout& Layout() const { return layout_; }
  QTableWidget* Grid() const { return grid_; }

  // On the selected wells; a standard takes its concentration from the
  // dilution series.
  void SetRole(analysis::WellRole role);
  bool OpenFile();
  bool SaveFileAs();

  // Saves a changed layout first (asking where), then puts it in use.
  void accept() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* MakeRoleButtons();
  QWidget* MakeSeriesHelper();
  std::vector<int> SelectedWells() const;
  layout_filling::Grouping CurrentGrouping() const;
  void ShowLayout();
  // False, after saying why, when the layout would not read back.
  bool CheckLayout();

  analysis::PlateLayout layout_;
  std::string path_;
  bool changed_ = false;
  QTableWidget* grid_ = nullptr;
  QDoubleSpinBox* top_ = nullptr;
  QDoubleSpinBox* factor_ = nullptr;
  QLineEdit* unit_ = nullptr;
  QRadioButton* downTheRows_ = nullptr;
  QSpinBox* replicates_ = nullptr;
  QRadioButton* sideBySide_ = nullptr;
};

// Opens the editor modally; true when the operator put a layout in use.
bool RunLayoutEditor(QWidget* owner);
