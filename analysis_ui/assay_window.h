// The window "Platovix Assay": one assay made or changed, its name, the
// filters it is read with, its layout (in the layout editor), model and
// weighting, and its QC rules, each of which may be switched off. "&Save"
// writes its file (asking where the first time) and makes it the assay in
// use; "Save &as..." asks again (a changed assay under a new name or
// version); "&Open..." reads another. Escape, Cancel, the close box and
// "&Open..." ask before changes are thrown away.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "analysis/assay.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSpinBox;

class AssayWindow : public QDialog {
  Q_OBJECT

 public:
  // Starts from the assay in use, or a new one on the layout in use.
  explicit AssayWindow(QWidget* parent);

  // The assay as the window's fields say.
  analysis::Assay Assay() const;
  const std::string& Path() const { return path_; }

  // False when nothing was saved (cancelled, or a fault the operator saw).
  bool Save();
  bool SaveAs();
  bool Open();
  // The layout editor on the assay's layout.
  void EditLayout();
  // Whether the fields (or the layout) differ from the assay as opened or saved.
  bool Changed() const { return Assay() != saved_; }

  void reject() override;

 private:
  struct RuleField {
    QCheckBox* on = nullptr;
    QDoubleSpinBox* value = nullptr;
  };

  QWidget* MakeReading();
  QWidget* MakeAnalysis();
  QWidget* MakeRules();
  void Show(const analysis::Assay& assay);
  void ShowLayoutSummary();
  bool SaveTo(const std::string& path);
  bool AskNewNameOrVersion();
  // True when nothing changed or the operator lets the changes go.
  bool MayDiscardChanges();

  std::string path_;
  analysis::PlateLayout layout_;
  analysis::Assay shown_;  // what Show() set, for the fields without a control
  analysis::Assay saved_;  // as opened or last saved, to see changes
  QLineEdit* name_ = nullptr;
  QLineEdit* version_ = nullptr;
  QLineEdit* description_ = nullptr;
  QSpinBox* primary_ = nullptr;
  QSpinBox* reference_ = nullptr;
  QLabel* layoutSummary_ = nullptr;
  QComboBox* model_ = nullptr;
  QComboBox* weighting_ = nullptr;
  QSpinBox* digits_ = nullptr;
  std::vector<RuleField> rules_;  // in the order of kRuleFields
  QCheckBox* controlsInRange_ = nullptr;
};

// Opens the window modally; true when an assay was saved (and is in use).
bool RunAssayWindow(QWidget* owner);
