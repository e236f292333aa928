#include "ui/main_dialog.h"
#include "ui/read_archiving.h"

#include <QComboBox>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "archive_ui/desktop_archive.h"
#include "driver/foto.h"
#include "history/history_window.h"
#include "link/operator_message.h"
#include "link/worker_thread.h"
#include "preview/clipboard.h"
#include "preview/data_preview.h"
#include "resources/program_icon.h"
#include "results/file_time.h"
#include "results/shared_state.h"
#include "ui/assay_choice.h"
#include "ui/background_picture.h"
#include "ui/calibration_dialog.h"
#include "ui/device_chooser.h"
#include "ui/dialog_placement.h"
#include "ui/kinetic_run.h"
#include "ui/operation_control.h"
#include "ui/options_dialog.h"

namespace {

bool AltKeyDown() {
  return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::AltModifier);
}

MainDialog::AltKeyQuery altKeyQuery = AltKeyDown;

// The controls that only the full-height dialog shows, in the order they
// are enabled and disabled.
constexpr int kDetailsControls[] = {kCopyButton, kPreviewButton, kCloseButton, kOptionsButton};

bool Running() {
  return hWorkerThread != nullptr;
}

QString FilterText(int wavelength) {
  char text[16];
  std::snprintf(text, sizeof text, "%3d", wavelength);
  return QString::fromLatin1(text);
}

// Shrinks a button's font until its text fits: the program's own font is
// wider than the one the dialog was laid out for ("Calib&rate ...").
void FitButtonFont(QPushButton* button) {
  const int room =
      button->width() - 2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
  QString text = button->text();
  text.remove(QLatin1Char('&'));
  QFont font = button->font();
  if (font.pointSizeF() <= 0) return;
  while (QFontMetrics(font).horizontalAdvance(text) > room && font.pointSizeF() > 6.5) {
    font.setPointSizeF(font.pointSizeF() - 0.5);
  }
  button->setFont(font);
}

}  // namespace

void SetFilterText(QComboBox* list, int wavelength) {
  list->setCurrentIndex(-1);
  list->setEditText(wavelength != 0 ? FilterText(wavelength) : QString());
}

MainDialog::MainDialog(QWidget* parent)
    : TemplateDialog(MainDialogTemplate(), parent), handle_(this) {
  InitDialog();
}

MainDialog::~MainDialog() {
  if (hMainDlg == &handle_) hMainDlg = nullptr;  // no worker runs any more (CloseDialog)
}

void MainDialog::SetAltKeyQuery(AltKeyQuery query) {
  altKeyQuery = query != nullptr ? query : AltKeyDown;
}

QComboBox* MainDialog::Combo(int id) const {
  return qobject_cast<QComboBox*>(Item(id));
}

QRect MainDialog::ItemScreenRect(int id) const {
  return ScreenRectOf(Item(id));
}

void MainDialog::InitDialog() {
  setWindowIcon(ProgramIcon());
  for (QPushButton* button : findChildren<QPushButton*>()) FitButtonFont(button);
  AddAssayControls(*this);
  // "&History..." below "A&ssay...": the archive's reads, in a window of their own.
  if (auto* assay = findChild<QPushButton*>(QStringLiteral("assayWindow"))) {
    auto* history = new QPushButton(QStringLiteral("&History..."), this);
    history->setObjectName(QStringLiteral("history"));
    history->setAutoDefault(false);
    const QRect below = assay->geometry();
    history->setGeometry(
        below.translated(0, below.height() + DialogUnitsToPixels(0, 0, 0, 5).height()));
    connect(history, &QPushButton::clicked, this, [this] { ShowHistoryWindow(this); });
  }
  kinetic_ = new KineticRun(*this);
  FillKineticFromAssayInUse(*this);
  if (AppSettings.X >= 0) move(AppSettings.X, AppSettings.Y);
  ToggleDetails(*this);  // measures only
  if (AppSettings.Reduced == 1) ToggleDetails(*this);
  picture_ = LoadBackgroundPicture();
  FillFilterCombos(*this);
  SetFilterText(Combo(kPrimaryList), AppSettings.nLastF1);
  SetFilterText(Combo(kReferenceList), AppSettings.nLastF2);
  ResetResult();
  UpdatePortText(*this);
  UpdateReferenceVisibility(*this);
  SetItemText(kStatusLine, QString());
  // Measuring goes on into this computer's archive; the user hears why once at start.
  if (const std::string refused = DesktopArchiveRefusal(); !refused.empty()) {
    QTimer::singleShot(0, this,
                       [this, refused] { ShowMessageBox(this, refused, "Archive", kIconWarning); });
  }
  if (AppSettings.nComPort < 1 || AppSettings.nComPort > 4) {
    AppSettings.nComPort = 0;
    PostCommand(kOptionsButton);  // opens as soon as the dialog is shown
  }
}

bool MainDialog::OnCommand(int id) {
  if (closing_) {
    // Only the end of the running operation still matters; it is wound up
    // without boxes, copies or previews.
    if (id >= kMeasureDone && id <= kPlateMoved) {
      OnOperationFinished(*this);
      ArchiveFinishedMeasurement(nullptr, id);
    }
    return true;
  }
  switch (id) {
    case kMeasureButton:
    case kFiltersButton:
    case kCalibrateButton:
    case kPlateInButton:
    case kPlateOutButton:
      OnOperationButton(id);
      return true;
    case kCloseButton:
      CloseDialog();
      return true;
    case kPreviewButton:
    case kCopyButton:
      ShowResult(id);
      return true;
    case kOptionsButton:
      OpenOptions();
      return true;
    case kDetailsButton:
      OnDetails();
      return true;
    case kReferenceCheck:
      UpdateReferenceVisibility(*this);
      return true;
    case kMeasureDone:
    case kFiltersDone:
    case kCalibrateDone:
    case kUserAborted:
    case kReaderTimeout:
    case kOperationFailed:
    case kPlateMoved:
      OnCompletion(id);
      return true;
    default:
      return false;
  }
}

void MainDialog::OnOperationButton(int id) {
  if (Running()) {
    bAbort = 1;  // the running operation's own button reads "&Abort"
    return;
  }
  if (kinetic_->Waiting()) {
    kinetic_->Abort();  // between two reads of a kinetic run
    return;
  }
  if (CheckPortAndDriver(*this)) return;
  switch (id) {
    case kMeasureButton:
      if (!PrepareAssayMeasure(*this)) break;
      if (kinetic_->Chosen()) {
        kinetic_->Start();
      } else {
        StartMeasure(*this);
      }
      break;
    case kFiltersButton:
      StartReadFilters(*this);
      break;
    case kCalibrateButton: {
      const QRect at = ItemScreenRect(kCalibrateButton);
      if (RunCalibrationDialog(this, &at) == 1) StartCalibrate(*this);
      break;
    }
    case kPlateInButton:
      StartPlateMove(*this, false);
      break;
    case kPlateOutButton:
      StartPlateMove(*this, true);
      break;
  }
}

void MainDialog::OnCompletion(int id) {
  OnOperationFinished(*this);
  const bool measured = MeasurementUnderway();
  // In the archive before the clipboard or the preview shows it.
  ArchiveFinishedMeasurement(BoxOwner(), id);
  if (measured && id != kMeasureDone) ShowUnfinishedRead(id);
  if (id == kMeasureDone) {
    PlateResult.ftMeasured = FileTimeFromLocalNow();
    PlateResult.bValid = 1;
  }
  // A kinetic run going on: the next read follows, nothing is shown yet.
  if (measured && kinetic_->ReadEnded(id)) return;
  switch (id) {
    case kMeasureDone:
      ShowNewPlateAnalysis(*this);
      // The copy is made before the preview opens: one synchronously, the
      // other once this command has been handled.
      if (AppSettings.bAutoCopy) SendCommand(kCopyButton);
      if (AppSettings.bAutoView) PostCommand(kPreviewButton);
      break;
    case kFiltersDone:
    case kCalibrateDone:
      // The lists follow the new filter table; the filters must be chosen again.
      Combo(kPrimaryList)->clear();
      Combo(kReferenceList)->clear();
      FillFilterCombos(*this);
      SetFilterText(Combo(kPrimaryList), 0);
      SetFilterText(Combo(kReferenceList), 0);
      break;
    case kReaderTimeout:
      ShowMessageBox(BoxOwner(), "Reader not responding.", "Timout", kIconInformation);
      break;
    case kOperationFailed:
      ShowMessageBox(BoxOwner(), pDriver != nullptr ? pDriver->szMessage : "", "Error",
                     kIconInformation);
      break;
    default:  // 804 aborted, 807 carrier moved: the status line says it all
      break;
  }
}

void MainDialog::ShowResult(int id) {
  if (!PlateResult.bValid) {
    ShowMessageBox(BoxOwner(), "No valid data.", "Warning", kIconInformation);
    return;
  }
  if (id == kCopyButton) {
    CopyResultToClipboard(this);
  } else {
    RunDataPreview(this);
  }
}

void MainDialog::OpenOptions() {
  const QRect at = ItemScreenRect(kOptionsButton);
  if (RunOptionsDialog(this, &at) == 1) UpdatePortText(*this);
}

void MainDialog::OnDetails() {
  if (!altKeyQuery()) {
    ToggleDetails(*this);
    return;
  }
  if (pDriver != nullptr) {
    ShowMessageBox(BoxOwner(), pDriver->szReaderId, "", kIconInformation);
  } else {
    ShowMessageBox(BoxOwner(), "Do any read first.", "NoNo", kIconWarning);
  }
}

void MainDialog::CloseDialog() {
  kinetic_->Stop();  // no read starts after this
  if (Running()) {
    // The port, the driver and this dialog must outlive the worker: ask it
    // to stop and wait for its completion command before ending.
    closing_ = true;
    bAbort = 1;
    handle_.BeginShutdown();
    WaitForWorkerEnd();
  }
  done(kCloseButton);
}

void MainDialog::WaitForWorkerEnd() {
  // A local loop keeps serving the worker's status texts and its final
  // command while we wait; the link notices the abort within a few
  // hundred milliseconds, a silent reader's time-out within two seconds.
  QEventLoop loop;
  QTimer poll;
  int endedPolls = 0;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (!Running()) {
      loop.quit();
    } else if (hWorkerThread->Finished() && ++endedPolls > 50) {
      // Ended without a completion command (it cannot normally happen):
      // wind up all the same.
      OnOperationFinished(*this);
      loop.quit();
    }
  });
  poll.start(20);
  loop.exec();
}

void MainDialog::done(int result) {
  if (isVisible()) {
    const QPoint at = pos();
    AppSettings.X = at.x();
    AppSettings.Y = at.y();
  }
  TemplateDialog::done(result);
}

void MainDialog::paintEvent(QPaintEvent* event) {
  if (Running() && !picture_.isNull()) {
    QPainter painter(this);
    DrawBackgroundPicture(painter, rect(), picture_);
    return;
  }
  TemplateDialog::paintEvent(event);
}

void UpdatePortText(MainDialog& dialog) {
  const TAppSettings& s = AppSettings;
  const char port = s.nComPort != 0 ? static_cast<char>('0' + s.nComPort) : '?';
  const char parity = s.nParity == 2 ? 'E' : s.nParity == 1 ? 'O' : 'N';
  char text[64];
  std::snprintf(text, sizeof text, "COM%c:%d,%d,%c,%d", port, s.nBaudRate, s.nBits, parity,
                s.nStops + 1);
  dialog.SetItemText(kPortText, QString::fromLatin1(text));
  // Which device COMn stands for on this machine.
  const bool known = s.nComPort >= 1 && s.nComPort <= 4;
  dialog.Item(kPortText)->setToolTip(known ? PortToolTip(s.nComPort, PortMap.szDevice[s.nComPort])
                                           : QString());

  const QString title = QString::fromLatin1(s.readerSubType != 0 ? "Platovix - Jupiter/Expert"
                                                                 : "Platovix - DigiScan");
  if (dialog.windowTitle() != title) dialog.setWindowTitle(title);
}

void UpdateReferenceVisibility(MainDialog& dialog) {
  dialog.ShowItem(kReferenceList, dialog.IsChecked(kReferenceCheck));
}

void ToggleDetails(MainDialog& dialog) {
  if (dialog.nFullHeight == 0) {
    dialog.nFullWidth = dialog.width();
    dialog.nFullHeight = dialog.height();
    dialog.nReducedHeight = dialog.Item(kSeparator)->geometry().bottom() + 1;
    dialog.bExpanded = true;
    return;
  }
  dialog.bExpanded = !dialog.bExpanded;
  dialog.setFixedSize(dialog.nFullWidth,
                      dialog.bExpanded ? dialog.nFullHeight : dialog.nReducedHeight);
  for (int id : kDetailsControls) dialog.EnableItem(id, dialog.bExpanded);
  AppSettings.Reduced = dialog.bExpanded ? 0 : 1;
  KeepOnScreen(&dialog);
}

void FillFilterCombos(MainDialog& dialog) {
  QComboBox* primary = dialog.Combo(kPrimaryList);
  QComboBox* reference = dialog.Combo(kReferenceList);
  const int count = std::min<int>(FilterTable.nCount, kFilterSlots);
  for (int slot = 0; slot < count; ++slot) {
    const int wavelength = FilterTable.nWavelength[slot];
    if (wavelength <= 99) continue;
    primary->addItem(FilterText(wavelength));
    reference->addItem(FilterText(wavelength));
  }
}
