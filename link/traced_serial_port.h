// A serial port seen through the line trace: every call goes to the real
// port unchanged (bytes, waits, errno), and what passed is written down.
#pragma once

#include <memory>

#include "link/line_trace.h"
#include "link/serial_port.h"

class TracedSerialPort : public SerialPort {
 public:
  TracedSerialPort(std::unique_ptr<SerialPort> port, std::shared_ptr<LineTrace> trace);

  bool Read(void* buffer, size_t count, size_t* got) override;
  bool Write(const void* data, size_t count, size_t* written) override;
  uint32_t TakeLineErrors() override;
  void Purge() override;

 private:
  void NoteFailure(const char* call, int error);

  std::unique_ptr<SerialPort> port_;
  std::shared_ptr<LineTrace> trace_;
};
