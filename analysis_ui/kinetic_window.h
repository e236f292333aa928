// The kinetic run's window: the plate of curves with the per-well results
// beside it. It follows the run read by read; a click on a well opens its
// curve large. "&Copy" puts the table on the clipboard, "&Save..." writes
// the series and the table to a CSV file or a workbook, "&Report..." the
// run's report to a PDF.
#pragma once

#include <QDialog>
#include <optional>
#include <vector>

#include "analysis/assay.h"
#include "analysis/kinetic_run_facts.h"
#include "analysis/kinetics.h"
#include "report/kinetic_report.h"

class KineticPlateView;
class QLabel;
class QTableWidget;
class WellCurveDialog;

// What the report says of the run besides its reads.
struct KineticRunInfo : analysis::KineticRunFacts {
  // Its name heads the report; with the rate as its response the rates get
  // its standard curve and verdict.
  std::optional<analysis::Assay> assay;
};

class KineticWindow : public QDialog {
  Q_OBJECT

 public:
  explicit KineticWindow(QWidget* owner);

  // The series so far, analysed with the layout (none: every well).
  void SetSeries(std::vector<analysis::KineticRead> reads, const analysis::PlateLayout* layout,
                 const analysis::KineticOptions& options);
  const analysis::KineticAnalysis& Analysis() const { return analysis_; }
  const std::vector<analysis::KineticRead>& Reads() const { return reads_; }
  KineticPlateView* Plate() const { return plate_; }
  QTableWidget* Table() const { return table_; }
  // The large curve of one well; it follows the run too.
  WellCurveDialog* ShowWell(int well);
  WellCurveDialog* OpenWell() const { return wellDialog_; }

  void SetRunInfo(KineticRunInfo info) { run_ = std::move(info); }
  // The report of the series as shown.
  KineticReport Report() const;

  void CopyResults();
  bool SaveResults();
  bool SaveReport();

 private:
  void ShowTable();
  // With an assay whose response is the rate: the rates through it.
  std::optional<analysis::PlateAnalysis> Rates() const;

  std::vector<analysis::KineticRead> reads_;
  std::optional<analysis::PlateLayout> layout_;
  KineticRunInfo run_;
  analysis::KineticAnalysis analysis_;
  QLabel* caption_ = nullptr;
  KineticPlateView* plate_ = nullptr;
  QTableWidget* table_ = nullptr;
  WellCurveDialog* wellDialog_ = nullptr;
};

// The one kinetic window, opened (or raised) over owner.
KineticWindow* ShowKineticWindow(QWidget* owner);
// The window while it is open, else null.
KineticWindow* OpenKineticWindow();
