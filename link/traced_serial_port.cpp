#include "link/traced_serial_port.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "link/trace_text.h"

TracedSerialPort::TracedSerialPort(std::unique_ptr<SerialPort> port,
                                   std::shared_ptr<LineTrace> trace)
    : port_(std::move(port)), trace_(std::move(trace)) {}

// The protocol reads errno after a failed call: it must survive the trace.
bool TracedSerialPort::Read(void* buffer, size_t count, size_t* got) {
  const bool ok = port_->Read(buffer, count, got);
  const int error = errno;
  if (ok && *got > 0) {
    trace_->Received(buffer, *got);
  } else if (ok) {
    trace_->Quiet();
  } else {
    NoteFailure("read", error);
  }
  errno = error;
  return ok;
}

bool TracedSerialPort::Write(const void* data, size_t count, size_t* written) {
  const bool ok = port_->Write(data, count, written);
  const int error = errno;
  if (*written > 0) trace_->Sent(data, *written);
  if (!ok) NoteFailure("write", error);
  errno = error;
  return ok;
}

uint32_t TracedSerialPort::TakeLineErrors() {
  const uint32_t mask = port_->TakeLineErrors();
  if (mask != 0) trace_->Note("line-errors", std::to_string(mask));
  return mask;
}

void TracedSerialPort::Purge() {
  trace_->Note("purge", "");
  port_->Purge();
}

void TracedSerialPort::NoteFailure(const char* call, int error) {
  trace_->Note("error", TraceBytes(std::string(call) + ": " + std::strerror(error)));
}
