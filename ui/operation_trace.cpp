#include "ui/operation_trace.h"

#include <memory>

#include "driver/traced_dialog.h"
#include "link/line_trace.h"
#include "link/operator_message.h"
#include "link/port_setup.h"
#include "link/trace_details.h"
#include "link/traced_serial_port.h"
#include "results/shared_state.h"

namespace {

std::shared_ptr<LineTrace> trace;
std::unique_ptr<TracedDialog> tracedDialog;
DialogHandle* tracedHandle = nullptr;
bool tracing = false;  // the running operation is traced

}  // namespace

void BeginOperationTrace(const char* operation, const std::string& details) {
  tracing = false;
  if (AppSettings.TraceEnabled == 0 || AppSettings.TraceFile.empty()) return ResetOperationTrace();
  if (!trace || trace->path() != AppSettings.TraceFile) {
    trace = std::make_shared<LineTrace>(AppSettings.TraceFile);
    tracedDialog = std::make_unique<TracedDialog>(&hMainDlg, trace);
    tracedHandle = tracedDialog.get();
  }
  if (!trace->IsOn() || hComPort == kInvalidPort) return;
  const std::string line = TraceLineDetails(AppSettings.readerSubType, LineSettingsFromApp(),
                                            PortDevicePath(AppSettings.nComPort));
  trace->Begin(operation, details.empty() ? line : details + ' ' + line);
  hComPort = new TracedSerialPort(std::unique_ptr<SerialPort>(hComPort), trace);
  tracing = true;
}

DialogHandle** OperationDialog() {
  return tracing ? &tracedHandle : &hMainDlg;
}

void ReportTraceFailure(void* owner) {
  if (!trace) return;
  const auto reason = trace->TakeFailure();
  if (!reason) return;
  ShowMessageBox(owner,
                 "The line trace cannot be written to " + trace->path() + ": " + *reason +
                     ".\nThe reader was not affected. The trace stays off until a trace file is "
                     "chosen again in the Options.",
                 "Warning", kIconWarning);
}

void ResetOperationTrace() {
  tracing = false;
  trace.reset();
  tracedDialog.reset();
  tracedHandle = nullptr;
}
