// platovix-cli --trace FILE: one line trace for the whole run, through which
// the port and the driver's dialog are seen, and a copy of the operation
// running now kept in memory for the read's archive record. Without --trace
// it does nothing.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "cli/bounded_text.h"
#include "driver/dialog_handle.h"
#include "driver/traced_dialog.h"
#include "link/line_trace.h"
#include "link/serial_port.h"

class CliTrace {
 public:
  // path "-" writes to err. A file that cannot be written is reported on
  // err once; the run goes on without a trace.
  CliTrace(const std::optional<std::string>& path, std::ostream& err);

  // The port as the driver should use it.
  std::unique_ptr<SerialPort> Wrap(std::unique_ptr<SerialPort> port) const;

  // Writes the begin line of an operation; returns the dialog variable the
  // driver should be given in place of dialog.
  DialogHandle** Begin(const char* operation, const std::string& details, DialogHandle** dialog);

  // Reports a trace that has stopped being written, once.
  void ReportFailure();

  // The trace of the operation begun last (its last BoundedText::kDefaultBound
  // bytes); empty without --trace.
  std::string OperationText() const;

 private:
  std::shared_ptr<LineTrace> trace_;
  std::ostream& err_;
  std::unique_ptr<TracedDialog> dialog_;
  DialogHandle* tracedHandle_ = nullptr;
  // The same events again, into memory, one operation at a time.
  std::shared_ptr<BoundedText> operationText_;
  std::shared_ptr<LineTrace> operationTrace_;
  std::unique_ptr<TracedDialog> operationDialog_;
  DialogHandle* operationHandle_ = nullptr;
};
