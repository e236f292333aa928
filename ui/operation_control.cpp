#include "ui/operation_control.h"
#include "ui/read_archiving.h"

#include <QComboBox>
#include <string>

#include "driver/foto.h"
#include "link/operator_message.h"
#include "link/port_refusal.h"
#include "link/port_setup.h"
#include "link/trace_details.h"
#include "link/worker_thread.h"
#include "results/file_time.h"
#include "results/shared_state.h"
#include "ui/dialog_integer.h"
#include "ui/main_dialog.h"
#include "ui/operation_trace.h"

namespace {

struct ButtonText {
  int id;
  const char* text;
};

// The operation buttons at rest. The calibration button loses the blank
// before its dots after the first operation, as it always has.
constexpr ButtonText kIdleButtons[] = {
    {kMeasureButton, "&Measure"},        {kFiltersButton, "&Filters"},
    {kCalibrateButton, "Calib&rate..."}, {kPlateInButton, "Plate &IN"},
    {kPlateOutButton, "Plate O&UT"},
};

// A filter list's text as a wavelength; what is not a number counts as 0.
int FilterListValue(MainDialog& dialog, int id) {
  const std::string text = dialog.Combo(id)->currentText().toLatin1().toStdString();
  int value = 0;
  return ParseDialogInteger(text, &value) ? value : 0;
}

// Everything the worker reads is set here, before it is released.
void EnterRunningState(MainDialog& dialog, int buttonId) {
  bAbort = 0;
  hMainDlg = dialog.Handle();
  dialog.SetItemText(buttonId, QStringLiteral("&Abort"));
  dialog.SetItemText(kStatusLine, QString());
  for (const ButtonText& button : kIdleButtons) {
    if (button.id != buttonId) dialog.EnableItem(button.id, false);
  }
}

// Port, worker, running state, then the worker is let go.
bool LaunchOperation(MainDialog& dialog, int buttonId, void (*entry)(), const char* traceName,
                     const std::string& traceDetails = "") {
  if (OpenReaderPort(dialog.BoxOwner())) return true;
  BeginOperationTrace(traceName, traceDetails);
  if (StartWorker(dialog, entry)) {
    ClosePort();
    return true;
  }
  EnterRunningState(dialog, buttonId);
  dialog.update();  // the spectrum shows while the operation runs
  hWorkerThread->Resume();
  return false;
}

}  // namespace

bool CheckPortAndDriver(MainDialog& dialog) {
  if (AppSettings.nComPort < 1 || AppSettings.nComPort > 4) {
    ShowMessageBox(dialog.BoxOwner(), "Serial port not specified.", "Warning", kIconInformation);
    AppSettings.nComPort = 0;
    dialog.PostCommand(kOptionsButton);
    return true;
  }
  if (pDriver != nullptr && (pDriver->nReaderType != AppSettings.readerType ||
                             pDriver->nReaderSubType != AppSettings.readerSubType)) {
    delete pDriver;  // built for another reader family
    pDriver = nullptr;
  }
  if (pDriver == nullptr) {
    pDriver = CreateReaderDriver(AppSettings.readerType, AppSettings.readerSubType);
  }
  if (pDriver == nullptr) {
    ShowMessageBox(dialog.BoxOwner(), "Cannot create the reader driver.", "Error", kIconError);
    return true;
  }
  return false;
}

bool StartMeasure(MainDialog& dialog) {
  const int primary = FilterListValue(dialog, kPrimaryList);
  int reference = FilterListValue(dialog, kReferenceList);
  if (primary <= 99) {
    ShowMessageBox(dialog.BoxOwner(), "Invalid measurement filter.", "Warning", kIconWarning);
    dialog.Item(kPrimaryList)->setFocus();
    return true;
  }
  if (!dialog.IsChecked(kReferenceCheck)) {
    reference = 0;
  } else if (reference < 100) {
    ShowMessageBox(dialog.BoxOwner(), "Invalid reference filter.", "Warning", kIconWarning);
    dialog.Item(kReferenceList)->setFocus();
    return true;
  }
  AppSettings.nLastF1 = primary;
  AppSettings.nLastF2 = reference;

  if (OpenReaderPort(dialog.BoxOwner())) return true;
  BeginOperationTrace(kTraceMeasure, TraceMeasureDetails(primary, reference));
  if (StartWorker(dialog, MeasureThread)) {
    ClosePort();
    return true;
  }
  ResetResult();                                   // the old plate is gone from here on
  PlateResult.ftStarted = FileTimeFromLocalNow();  // every output names when the read began
  EnterRunningState(dialog, kMeasureButton);
  NoteMeasureStarted();
  PlateResult.nPrimary = primary;
  PlateResult.nReference = reference;
  dialog.update();
  hWorkerThread->Resume();
  return false;
}

bool StartReadFilters(MainDialog& dialog) {
  return LaunchOperation(dialog, kFiltersButton, ReadFiltersThread, kTraceFilters);
}

bool StartCalibrate(MainDialog& dialog) {
  return LaunchOperation(dialog, kCalibrateButton, CalibrateThread, kTraceCalibrate,
                         TraceCalibrateDetails(FilterTable.nWavelength, FilterTable.bCalibrate));
}

bool StartPlateMove(MainDialog& dialog, bool out) {
  return out ? LaunchOperation(dialog, kPlateOutButton, PlateOutThread, kTracePlateOut)
             : LaunchOperation(dialog, kPlateInButton, PlateInThread, kTracePlateIn);
}

bool StartWorker(MainDialog& dialog, void (*entry)()) {
  CloseThreadHandle();
  hWorkerThread = WorkerThread::CreateSuspended(entry);
  if (hWorkerThread == nullptr) {
    ShowMessageBox(dialog.BoxOwner(), "Cannot start a communication thread.", "Error", kIconError);
    return true;
  }
  return false;
}

void ResetResult() {
  for (int32_t& value : PlateResult.nValue) value = kNoValue;
  for (uint8_t& over : PlateResult.bOverRange) over = 0;
  PlateResult.nReference = 0;
  PlateResult.nPrimary = 0;
  PlateResult.ftMeasured = 0;
  PlateResult.ftStarted = 0;
  PlateResult.bValid = 0;
}

void OnOperationFinished(MainDialog& dialog) {
  // The completion command is the worker's last act, so this wait is short;
  // after it the worker touches neither the port nor the driver.
  if (hWorkerThread != nullptr) hWorkerThread->WaitFor(2000);
  CloseThreadHandle();
  ClosePort();
  ReportTraceFailure(dialog.BoxOwner());
  for (const ButtonText& button : kIdleButtons) {
    dialog.SetItemText(button.id, QString::fromLatin1(button.text));
    dialog.EnableItem(button.id, true);
  }
  dialog.update();  // back to the plain background
}

void MeasureThread() {
  pDriver->Measure(&hComPort, OperationDialog(), &bAbort, PlateResult.nValue, PlateResult.nPrimary,
                   PlateResult.nReference, PlateResult.bOverRange);
}

void ReadFiltersThread() {
  pDriver->ReadFilters(&hComPort, OperationDialog(), &bAbort, FilterTable.nWavelength,
                       &FilterTable.nCount);
}

void CalibrateThread() {
  pDriver->Calibrate(&hComPort, OperationDialog(), &bAbort, FilterTable.nWavelength,
                     FilterTable.bCalibrate, &FilterTable.nCount);
}

void PlateInThread() {
  pDriver->MovePlate(&hComPort, OperationDialog(), &bAbort, false);
}

void PlateOutThread() {
  pDriver->MovePlate(&hComPort, OperationDialog(), &bAbort, true);
}
