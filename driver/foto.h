// The reader driver: the one object through which the program talks to the
// photometer. Each operation runs on the worker thread inside one frame that
// reports progress in the status line, always releases the reader with EOT
// and ends by posting one completion command to the main dialog.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "driver/dialog_handle.h"
#include "link/serial_port.h"

using AbortFlag = std::atomic<unsigned char>;

// Completion commands: the worker's last act is posting exactly one.
enum CompletionCommand : int {
  kMeasureDone = 801,
  kFiltersDone = 802,
  kCalibrateDone = 803,
  kUserAborted = 804,
  kReaderTimeout = 805,
  kOperationFailed = 806,
  kPlateMoved = 807,
};

inline constexpr int kStatusLineId = 208;
inline constexpr unsigned kStatusTimeoutMs = 600;

// The one exception of the worker. The text for the operator is in the
// driver's szMessage, written just before the throw.
struct ESerExc {
  int nCode;  // 1 time-out, 2 port or system error, 3 operator abort, 4 any other failure
};

enum ESerExcCode : int { kExcTimeout = 1, kExcPort = 2, kExcAbort = 3, kExcFailure = 4 };

class TFoto {
 public:
  TFoto(int readerType, int readerSubType);
  virtual ~TFoto();

  // overRange, when given, gets 1 for each well read above the reader's
  // range (its value is the no-value marker then) and 0 for the others.
  virtual void Measure(PortHandle* port, DialogHandle** dialog, AbortFlag* abort, int32_t* values,
                       int32_t primary, int32_t reference, uint8_t* overRange = nullptr) = 0;
  virtual void ReadFilters(PortHandle* port, DialogHandle** dialog, AbortFlag* abort,
                           int32_t* wavelengths, int32_t* count) = 0;
  virtual void Calibrate(PortHandle* port, DialogHandle** dialog, AbortFlag* abort,
                         int32_t* wavelengths, int32_t* flags, int32_t* count) = 0;
  virtual void MovePlate(PortHandle* port, DialogHandle** dialog, AbortFlag* abort, bool out) = 0;

  // Finds the status line (control 208) of the dialog and keeps it.
  ControlHandle FindStatusLine(DialogHandle* dialog);
  // Sets the status line's text; a text the dialog does not take within
  // 600 ms is dropped and the operation goes on.
  void ShowStatus(const char* text);

  ControlHandle hStatus = nullptr;
  char szReaderId[8] = {};
  char szMessage[256] = {};
  int nReaderType;
  int nReaderSubType;  // 0 DigiScan, else Jupiter / Expert

 protected:
  DialogHandle* statusDialog_ = nullptr;  // the dialog hStatus belongs to
};

class TRodeFoto : public TFoto {
 public:
  TRodeFoto(int readerType, int readerSubType);
  ~TRodeFoto() override;

  void Measure(PortHandle* port, DialogHandle** dialog, AbortFlag* abort, int32_t* values,
               int32_t primary, int32_t reference, uint8_t* overRange = nullptr) override;
  void ReadFilters(PortHandle* port, DialogHandle** dialog, AbortFlag* abort, int32_t* wavelengths,
                   int32_t* count) override;
  void Calibrate(PortHandle* port, DialogHandle** dialog, AbortFlag* abort, int32_t* wavelengths,
                 int32_t* flags, int32_t* count) override;
  void MovePlate(PortHandle* port, DialogHandle** dialog, AbortFlag* abort, bool out) override;

  // The line protocol (link/line_protocol.cpp). All but SendEot throw ESerExc.
  void Connect();
  void SendCommand(const char* text);
  void ReceiveReply();
  void Exchange(const char* text);
  char ReadByte();
  void SendEot();
  void WaitAbortable(uint32_t ms);

  PortHandle hPort;          // bound at the start of every operation; not owned
  const AbortFlag* pbAbort;  // the operator's abort flag; only read here
  char szLine[1024];         // the outgoing frame, or the last reply text with a NUL
  int nLineLen;

 protected:
  // The operation frame: binds port and abort flag, "started", Connect,
  // "connected", then body; body does the operation's own work and its
  // normal end. Any ESerExc ends in EOT, szMessage in the status line and
  // 805 / 804 / 806.
  void RunOperation(PortHandle* port, DialogHandle** dialog, AbortFlag* abort,
                    const std::function<void()>& body);
  // Posts a completion command to the dialog the operation was started for.
  void PostCompletion(int id);

  DialogHandle** ppDialog_ = nullptr;

  // Throws ESerExc with code after putting the formatted text into szMessage
  // (cut to fit).
  [[noreturn]] void Fail(int code, const char* format, ...) __attribute__((format(printf, 3, 4)));

 private:
  // Link helpers (link/line_protocol.cpp).
  // Code 2 with the system's text for the last error.
  [[noreturn]] void FailWithSystemError();
  // A frame the reader got wrong: "Serial error %d." (code 2) when the line
  // reported errors, else text (code 4).
  [[noreturn]] void FailFrame(const char* text);
  // Writes the bytes; code 2 unless all of them went out.
  void WriteAll(const char* data, size_t count);
  // Writes one control byte whose fate nobody examines (ACK, NAK, EOT).
  void WriteQuietly(char byte);
};

// A new driver for the reader family, or null when memory runs out.
TFoto* CreateReaderDriver(int readerType, int readerSubType);
