// The window "Platovix Analysis": the shown plate analysed with the layout
// in use. The standard curve with its fit (model and weighting chosen here
// and kept in the settings), the fit's parameters and R², and the results
// table, which "&Copy" puts on the clipboard and "&Save..." writes to a CSV
// file or an Excel workbook.
#pragma once

#include <QDialog>

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

  // Null while no layout is in use.
  const analysis::PlateAnalysis* Result() const { return hasResult_ ? &result_ : nullptr; }

  void CopyResults();
  // False when nothing was written (cancelled, or a failure the operator saw).
  bool SaveResults();

 private:
  QWidget* MakeOptions();
  void Recompute();
  void ShowFit();
  void ShowTable();

  ShownPlate shown_;
  analysis::PlateAnalysis result_;
  bool hasResult_ = false;
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

void RunAnalysisWindow(QWidget* owner, const ShownPlate& shown);
