// The main dialog's kinetic run: "&Kinetic" with its mode, reads and
// interval below the assay column. Checked, Measure reads the plate again
// and again, one ordinary measurement per read, start to start every
// interval (at once after a read that overran), and the plate of curves
// follows read by read. Abort, or a read that fails, ends the run and
// keeps the reads before it.
#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <vector>

#include "analysis/assay.h"
#include "analysis/kinetics.h"
#include "analysis_ui/kinetic_window.h"
#include "archive/run_record.h"

class MainDialog;
class QtDialogHandle;
class QCheckBox;
class QComboBox;
class QSpinBox;

class KineticRun : public QObject {
  Q_OBJECT

 public:
  explicit KineticRun(MainDialog& dialog);

  bool Chosen() const;
  // Reads, interval and mode from an assay with a series; others leave the
  // controls as they are.
  void FillFromAssay(const analysis::Assay& assay);

  // Measure with "Kinetic" checked: the first read starts.
  void Start();
  // Whether a run is underway (reading or waiting for the next read).
  bool Active() const { return active_; }
  // Between reads: nothing runs on the reader.
  bool Waiting() const { return active_ && next_.isActive(); }
  // Abort while waiting: the run ends with the reads it has.
  void Abort();
  // The dialog closes: no further read.
  void Stop();

  // A measurement of the run ended with completion id (after it was
  // archived). True when the run goes on, so the dialog neither copies nor
  // previews this read; false when the run has ended with it.
  bool ReadEnded(int id);

  const std::vector<analysis::KineticRead>& Series() const { return series_; }
  // The UUID of the last run's archive record; empty before any was kept.
  const std::string& LastRunUuid() const { return lastRunUuid_; }

 private:
  using Clock = std::chrono::steady_clock;
  void StartRead();
  void End(const QString& status);
  void ShowCountdown();
  void ShowSeries();
  void EnableControls(bool enabled);
  void HoldButtons();
  QtDialogHandle& PlateHandle();
  analysis::KineticOptions Options() const;
  // The run as one archive record, naming the reads stored on their own.
  void StoreRunRecord();
  // What the run's report says besides its reads.
  KineticRunInfo RunInfo() const;

  MainDialog& dialog_;
  QCheckBox* check_ = nullptr;
  QComboBox* mode_ = nullptr;
  QSpinBox* reads_ = nullptr;
  QSpinBox* interval_ = nullptr;

  bool active_ = false;
  int total_ = 0;
  double intervalSeconds_ = 0;
  std::string startedAt_;  // the first read's start, for the report
  Clock::time_point first_, readStart_, nextStart_;
  std::vector<analysis::KineticRead> series_;
  QTimer next_;  // the next read's start
  QTimer tick_;  // the countdown in the status line
  archive::RunRecord run_;
  std::string lastRunUuid_;
  std::string lastRunArchive_;  // where that record is
};
