// The window "Platovix Analysis": the shown plate analysed with the layout
// in use (or the assay's, whose verdict then heads the window in green or
// red). The standard curve with its fit (model and weighting chosen here
// and kept in the settings), the fit's parameters and R², and the results
// table, which "&Copy" puts on the clipboard (Ctrl+C its selection) and
// "&Save..." writes to a CSV file or an Excel workbook.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "analysis/plate_analysis.h"
#include "analysis_ui/shown_plate.h"

class QChartView;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

class AnalysisWindow : public QDialog {
  Q_OBJECT

 public:
  AnalysisWindow(QWidget* parent, const ShownPlate& shown);

  // The plate with the wells excluded here.
  const ShownPlate& Shown() const { return shown_; }

  // Null while no layout is in use.
  const analysis::PlateAnalysis* Result() const { return hasResult_ ? &result_ : nullptr; }

  // Shows another plate (with the wells excluded from it), keeping what the
  // operator chose here.
  void SetPlate(const ShownPlate& shown);
  // Leaves a well (0..95) out of the analysis, an outlier; it stays listed,
  // struck out, with the reason. Again for the same well: back in. For an
  // archived read, an audit entry ("well excluded" or "well included").
  void ToggleExcludedWell(int well, const std::string& reason);
  // Asks for a well and the reason.
  void AskToExcludeWell();

  void CopyResults();
  // The selected cells as TSV, with the header of their columns.
  void CopySelection();
  // False when nothing was written (cancelled, or a failure the operator saw).
  bool SaveResults();

 signals:
  // The operator set another layout from here.
  void LayoutChanged();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* MakeOptions();
  void Recompute();
  void ShowFit();
  void ShowTable();
  void ShowVerdict();

  ShownPlate shown_;
  analysis::PlateAnalysis result_;
  bool hasResult_ = false;
  std::vector<analysis::ExcludedWell> excluded_;
  QLabel* readName_ = nullptr;    // which read is shown
  QLabel* unfinished_ = nullptr;  // an aborted or failed read says so here
  QLabel* verdict_ = nullptr;
  QLabel* notice_ = nullptr;
  QComboBox* model_ = nullptr;
  QComboBox* weighting_ = nullptr;
  QCheckBox* logarithmic_ = nullptr;
  QLabel* fit_ = nullptr;
  QChartView* curve_ = nullptr;
  QTableWidget* table_ = nullptr;
  QPushButton* copy_ = nullptr;
  QPushButton* save_ = nullptr;
};

// Modal, as the preview opens it; the plate as the window leaves it (its
// excluded wells).
ShownPlate RunAnalysisWindow(QWidget* owner, const ShownPlate& shown);

// The one window that stays open beside the main dialog while the next
// plates are read: created on the first call, shown and raised, the plate
// replaced on later calls.
AnalysisWindow* ShowAnalysisWindow(QWidget* owner, const ShownPlate& shown);
// The open window of ShowAnalysisWindow, or null.
AnalysisWindow* OpenAnalysisWindow();
