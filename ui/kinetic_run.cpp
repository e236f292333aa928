#include "ui/kinetic_run.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>
#include <cmath>

#include "analysis/kinetics_output.h"
#include "analysis_ui/assay_in_use.h"
#include "analysis_ui/kinetic_window.h"
#include "archive/archive_store.h"
#include "archive_ui/desktop_archive.h"
#include "driver/foto.h"
#include "results/result_file.h"
#include "results/shared_state.h"
#include "ui/main_dialog.h"
#include "ui/operation_control.h"
#include "ui/qt_dialog_handle.h"
#include "ui/read_archiving.h"

namespace {

constexpr int kColumnX = 146;
// Start to start, at most a week apart (as an assay allows).
constexpr int kMaxIntervalSeconds = 7 * 24 * 3600;

// Every control the running read's Abort leaves disabled, kept so between reads.
constexpr int kHeldButtons[] = {kFiltersButton, kCalibrateButton, kPlateInButton, kPlateOutButton};

}  // namespace

KineticRun::KineticRun(MainDialog& dialog) : QObject(&dialog), dialog_(dialog) {
  check_ = new QCheckBox(QStringLiteral("&Kinetic"), &dialog);
  check_->setObjectName(QStringLiteral("kinetic"));
  check_->setGeometry(dialog.DialogUnitsToPixels(kColumnX, 78, 44, 10));
  mode_ = new QComboBox(&dialog);
  mode_->setObjectName(QStringLiteral("kineticMode"));
  mode_->addItem(QStringLiteral("rate"));
  mode_->addItem(QStringLiteral("growth"));
  mode_->setGeometry(dialog.DialogUnitsToPixels(kColumnX + 48, 76, 44, 12));
  auto* readsLabel = new QLabel(QStringLiteral("Reads"), &dialog);
  readsLabel->setGeometry(dialog.DialogUnitsToPixels(kColumnX, 94, 26, 8));
  reads_ = new QSpinBox(&dialog);
  reads_->setObjectName(QStringLiteral("kineticReads"));
  reads_->setRange(2, 100000);
  reads_->setValue(10);
  reads_->setGeometry(dialog.DialogUnitsToPixels(kColumnX + 28, 92, 40, 12));
  readsLabel->setBuddy(reads_);
  auto* everyLabel = new QLabel(QStringLiteral("Every"), &dialog);
  everyLabel->setGeometry(dialog.DialogUnitsToPixels(kColumnX, 110, 26, 8));
  interval_ = new QSpinBox(&dialog);
  interval_->setObjectName(QStringLiteral("kineticInterval"));
  interval_->setRange(0, kMaxIntervalSeconds);
  interval_->setValue(60);
  interval_->setSuffix(QStringLiteral(" s"));
  interval_->setGeometry(dialog.DialogUnitsToPixels(kColumnX + 28, 108, 40, 12));
  everyLabel->setBuddy(interval_);
  EnableControls(true);
  connect(check_, &QCheckBox::toggled, this, [this] { EnableControls(true); });

  next_.setSingleShot(true);
  next_.setTimerType(Qt::PreciseTimer);  // never sooner than the interval
  connect(&next_, &QTimer::timeout, this, [this] {
    const auto early = std::chrono::ceil<std::chrono::milliseconds>(nextStart_ - Clock::now());
    if (early.count() > 0) {
      next_.start(static_cast<int>(early.count()));
      return;
    }
    tick_.stop();
    StartRead();
  });
  tick_.setInterval(250);
  connect(&tick_, &QTimer::timeout, this, &KineticRun::ShowCountdown);
}

bool KineticRun::Chosen() const {
  return check_->isChecked();
}

void KineticRun::FillFromAssay(const analysis::Assay& assay) {
  if (active_ || !assay.reading.kinetic) return;
  check_->setChecked(true);
  reads_->setValue(assay.reading.kinetic->reads);
  interval_->setValue(static_cast<int>(std::lround(assay.reading.kinetic->intervalSeconds)));
  if (assay.kinetic) mode_->setCurrentIndex(assay.kinetic->mode == analysis::KineticMode::Growth);
}

void KineticRun::EnableControls(bool enabled) {
  check_->setEnabled(enabled);
  for (QWidget* control : {static_cast<QWidget*>(mode_), static_cast<QWidget*>(reads_),
                           static_cast<QWidget*>(interval_)}) {
    control->setEnabled(enabled && check_->isChecked());
  }
}

void KineticRun::Start() {
  active_ = true;
  total_ = reads_->value();
  intervalSeconds_ = interval_->value();
  series_.clear();
  run_ = {};
  run_.uuid = archive::NewUuid();
  run_.operatorName = archive::LoginName();
  run_.host = archive::HostName();
  run_.plannedReads = total_;
  run_.intervalSeconds = intervalSeconds_;
  startedAt_ = FormatIsoLocalTime(std::chrono::system_clock::now());
  EnableControls(false);
  // The same filters for every read.
  for (int id : {kPrimaryList, kReferenceList, kReferenceCheck}) dialog_.EnableItem(id, false);
  if (QWidget* assay = dialog_.findChild<QWidget*>(QStringLiteral("assay")))
    assay->setEnabled(false);
  StartRead();
}

void KineticRun::StartRead() {
  readStart_ = Clock::now();
  if (series_.empty()) first_ = readStart_;
  if (StartMeasure(dialog_)) {
    End(QString());  // the operator has been told why
    return;
  }
  // Each read's start on the run's own clock: the wall clock may be set meanwhile.
  nextStart_ = first_ + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                            intervalSeconds_ * static_cast<double>(series_.size() + 1)));
}

bool KineticRun::ReadEnded(int id) {
  if (!active_) return false;
  if (id != kMeasureDone) {
    const QString status = dialog_.ItemText(kStatusLine);
    run_.status = id == kUserAborted ? archive::ReadStatus::Aborted : archive::ReadStatus::Failed;
    run_.message = status.toStdString();
    End(status + QStringLiteral(" %1 of %2 reads kept.").arg(series_.size()).arg(total_));
    return false;
  }
  analysis::KineticRead read;
  // To the millisecond, as every saved series holds it.
  read.seconds =
      std::round(std::chrono::duration<double>(readStart_ - first_).count() * 1000) / 1000;
  std::copy(std::begin(PlateResult.nValue), std::end(PlateResult.nValue), read.values.begin());
  std::copy(std::begin(PlateResult.bOverRange), std::end(PlateResult.bOverRange),
            read.overRange.begin());
  series_.push_back(read);
  if (const archive::PlateRead* kept = LastKeptRead()) {
    if (run_.reads.empty()) {
      run_.started = kept->started;
      run_.readerFamily = kept->readerFamily;
      run_.readerId = kept->readerId;
      run_.assayName = kept->assayName;
      run_.assayJson = kept->assayJson;
    }
    run_.reads.push_back({kept->uuid, read.seconds, kept->started, kept->completed});
  }
  ShowSeries();
  if (static_cast<int>(series_.size()) >= total_) {
    End(QString());
    return false;
  }
  HoldButtons();
  // The plate stays in: a reader that asks for it again is told yes.
  PlateHandle().AnswerOkWithoutAsking(true);
  const auto wait =
      std::chrono::duration_cast<std::chrono::milliseconds>(nextStart_ - Clock::now()).count();
  next_.start(static_cast<int>(std::clamp<long long>(wait, 0, kMaxIntervalSeconds * 1000LL)));
  ShowCountdown();
  tick_.start();
  return true;
}

void KineticRun::HoldButtons() {
  dialog_.SetItemText(kMeasureButton, QStringLiteral("&Abort"));
  for (int id : kHeldButtons) dialog_.EnableItem(id, false);
}

void KineticRun::ShowCountdown() {
  const double left = std::chrono::duration<double>(nextStart_ - Clock::now()).count();
  const long long seconds = std::max(0LL, static_cast<long long>(std::ceil(left)));
  dialog_.SetItemText(
      kStatusLine,
      QStringLiteral("Read %1 of %2, next in %3 s").arg(series_.size()).arg(total_).arg(seconds));
}

analysis::KineticOptions KineticRun::Options() const {
  analysis::KineticOptions options;
  const analysis::Assay* assay =
      AppSettings.AssayFile.empty() ? nullptr : AssayInUse(dialog_.BoxOwner());
  if (assay && assay->kinetic) options = *assay->kinetic;
  options.mode =
      mode_->currentIndex() == 1 ? analysis::KineticMode::Growth : analysis::KineticMode::Rate;
  return options;
}

void KineticRun::ShowSeries() {
  const analysis::KineticOptions options = Options();
  KineticWindow* window = OpenKineticWindow();
  if (window == nullptr) window = ShowKineticWindow(&dialog_);
  window->SetSeries(series_, AnalysedLayout(dialog_.BoxOwner()), options);
  window->SetRunInfo(RunInfo());
}

void KineticRun::Abort() {
  if (!Waiting()) return;
  run_.status = archive::ReadStatus::Aborted;
  run_.message = "User aborted.";
  End(QStringLiteral("User aborted. %1 of %2 reads kept.").arg(series_.size()).arg(total_));
  dialog_.SetItemText(kMeasureButton, QStringLiteral("&Measure"));
  for (int id : kHeldButtons) dialog_.EnableItem(id, true);
}

void KineticRun::Stop() {
  next_.stop();
  tick_.stop();
  active_ = false;
}

QtDialogHandle& KineticRun::PlateHandle() {
  return *static_cast<QtDialogHandle*>(dialog_.Handle());
}

void KineticRun::StoreRunRecord() {
  if (run_.uuid.empty() || !DesktopArchiveEnabled()) return;
  run_.completed = FormatIsoLocalTime(std::chrono::system_clock::now());
  if (!series_.empty()) {
    run_.analysisJson =
        analysis::KineticsJson(
            analysis::AnalyseKinetics(series_, AnalysedLayout(dialog_.BoxOwner()), Options()))
            .dump();
  }
  archive::StoreConfig config = DesktopStoreConfig();
  config.forwardNow = false;
  const archive::StoreOutcome outcome = archive::StoreRun(config, run_);
  if (outcome.stored || outcome.spooled) {
    lastRunUuid_ = run_.uuid;
    lastRunArchive_ = outcome.archive;
  }
  ShowStoreOutcome(dialog_.BoxOwner(), outcome);
  if (outcome.stored) ForwardToLabLater(dialog_.BoxOwner());
  run_ = {};
}

KineticRunInfo KineticRun::RunInfo() const {
  KineticRunInfo info;
  info.started = startedAt_;
  info.intervalSeconds = intervalSeconds_;
  info.plannedReads = total_;
  if (run_.status != archive::ReadStatus::Completed) {
    info.status = archive::StatusName(run_.status);
    info.message = run_.message;
  }
  if (!AppSettings.AssayFile.empty()) {
    if (const analysis::Assay* assay = AssayInUse(dialog_.BoxOwner())) info.assay = *assay;
  }
  return info;
}

void KineticRun::End(const QString& status) {
  if (run_.status == archive::ReadStatus::Completed && static_cast<int>(series_.size()) < total_) {
    // A read that could not start: the operator has been told why.
    run_.status = archive::ReadStatus::Failed;
    run_.message = dialog_.ItemText(kStatusLine).toStdString();
  }
  // The report names the run's record once it is kept.
  KineticRunInfo info = RunInfo();
  const std::string uuid = run_.uuid;
  StoreRunRecord();
  if (!uuid.empty() && lastRunUuid_ == uuid) {
    info.recordUuid = uuid;
    info.archiveName = lastRunArchive_;
  }
  if (KineticWindow* window = OpenKineticWindow()) window->SetRunInfo(std::move(info));
  Stop();
  PlateHandle().AnswerOkWithoutAsking(false);
  EnableControls(true);
  for (int id : {kPrimaryList, kReferenceList, kReferenceCheck}) dialog_.EnableItem(id, true);
  if (QWidget* assay = dialog_.findChild<QWidget*>(QStringLiteral("assay")))
    assay->setEnabled(true);
  if (!status.isEmpty()) dialog_.SetItemText(kStatusLine, status);
}
