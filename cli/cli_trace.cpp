#include "cli/cli_trace.h"

#include "link/traced_serial_port.h"

CliTrace::CliTrace(const std::optional<std::string>& path, std::ostream& err) : err_(err) {
  if (!path) return;
  trace_ = *path == "-" ? std::make_shared<LineTrace>(err) : std::make_shared<LineTrace>(*path);
  operationText_ = std::make_shared<BoundedText>();
  operationTrace_ = std::make_shared<LineTrace>(*operationText_);
  ReportFailure();
}

std::unique_ptr<SerialPort> CliTrace::Wrap(std::unique_ptr<SerialPort> port) const {
  if (!trace_) return port;
  return std::make_unique<TracedSerialPort>(
      std::make_unique<TracedSerialPort>(std::move(port), trace_), operationTrace_);
}

DialogHandle** CliTrace::Begin(const char* operation, const std::string& details,
                               DialogHandle** dialog) {
  if (!trace_) return dialog;
  trace_->Begin(operation, details);
  dialog_ = std::make_unique<TracedDialog>(dialog, trace_);
  tracedHandle_ = dialog_.get();
  operationText_->Clear();
  operationTrace_->Begin(operation, details);
  operationDialog_ = std::make_unique<TracedDialog>(&tracedHandle_, operationTrace_);
  operationHandle_ = operationDialog_.get();
  return &operationHandle_;
}

void CliTrace::ReportFailure() {
  if (!trace_) return;
  if (const auto reason = trace_->TakeFailure()) {
    err_ << "platovix-cli: cannot write the line trace " << trace_->path() << ": " << *reason
         << "; going on without it\n";
  }
}

std::string CliTrace::OperationText() const {
  return operationText_ ? operationText_->Text() : std::string();
}
