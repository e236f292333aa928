// The window "Platovix Layout": the plate's 8 x 12 wells, selected by
// click, drag or row and column header, given a role by button or key
// (b, s, c, u, Delete), standards filled as a dilution series or from a
// list of levels, the selected wells' name, concentration, dilution and
// range set by hand, and the layout loaded from and saved to its
// plate-shaped CSV file. OK makes it the layout in use.
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
  // Edits a layout that lives in another file (an assay's): OK hands it
  // back through Layout() without saving it or putting it in use.
  LayoutEditor(QWidget* parent, const analysis::PlateLayout& layout);

  const analysis::PlateLayout& Layout() const { return layout_; }
  QTableWidget* Grid() const { return grid_; }

  // On the selected wells; a standard takes its concentration from the
  // dilution series.
  void SetRole(analysis::WellRole role);
  bool OpenFile();
  bool SaveFileAs();

  // The fields of "Selected wells" on the selected wells, each where its
  // role takes it; an empty field changes nothing. False, after saying
  // why, when a field is not a number.
  bool ApplyDetails();

  // Saves a changed layout first (asking where), then puts it in use.
  void accept() override;
  // A changed layout is only dropped when the operator says so.
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Build();
  QWidget* MakeRoleButtons();
  QWidget* MakeSeriesHelper();
  QWidget* MakeDetails();
  void ShowSelectedDetails();
  void RememberGrouping() const;
  std::vector<int> SelectedWells() const;
  layout_filling::Grouping CurrentGrouping() const;
  void ShowLayout();
  // False, after saying why, when the layout would not read back.
  bool CheckLayout();

  analysis::PlateLayout layout_;
  std::string path_;
  bool changed_ = false;
  bool embedded_ = false;
  QTableWidget* grid_ = nullptr;
  QDoubleSpinBox* top_ = nullptr;
  QDoubleSpinBox* factor_ = nullptr;
  QLineEdit* unit_ = nullptr;
  QRadioButton* downTheRows_ = nullptr;
  QSpinBox* replicates_ = nullptr;
  QRadioButton* sideBySide_ = nullptr;
  QLineEdit* levels_ = nullptr;
  QLineEdit* name_ = nullptr;
  QLineEdit* concentration_ = nullptr;
  QLineEdit* dilution_ = nullptr;
  QLineEdit* rangeLow_ = nullptr;
  QLineEdit* rangeHigh_ = nullptr;
};

// Opens the editor modally; true when the operator put a layout in use.
bool RunLayoutEditor(QWidget* owner);
