// The desktop program's line trace: when the settings ask for one, every
// operation's port and dialog are seen through it. One trace file serves the
// whole run; once it cannot be written it stays off (the operator is told
// once) until a file is chosen again in the Options dialog.
#pragma once

#include <string>

class DialogHandle;

// After the port is open and before the worker runs: writes the begin line
// and puts hComPort behind the trace, when the settings ask for one.
void BeginOperationTrace(const char* operation, const std::string& details);

// The dialog variable the worker hands the driver: hMainDlg, or the traced
// stand-in that reads hMainDlg at every call.
DialogHandle** OperationDialog();

// After an operation: tells the operator once that the trace could not be
// written.
void ReportTraceFailure(void* owner);

// Forgets the trace file, so that the next operation opens it afresh.
void ResetOperationTrace();
