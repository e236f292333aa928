#include "sila/reader_session.h"

#include <chrono>
#include <cstring>

#include "driver/reader_line.h"
#include "link/operator_message.h"
#include "results/shared_state.h"

namespace {

// The driver's main dialog for the server: status texts go to the caller,
// the completion command is kept, and the plate question is answered from
// the request.
class ServerDialog : public DialogHandle {
 public:
  ServerDialog(const std::function<void(const std::string&)>& onStatus, bool confirmPlate)
      : onStatus_(onStatus), confirmPlate_(confirmPlate) {}

  ControlHandle GetDlgItem(int id) override {
    return id == kStatusLineId ? static_cast<ControlHandle>(&statusLine_) : nullptr;
  }
  bool SendTextTimeout(ControlHandle control, const std::string& text, unsigned) override {
    if (control != &statusLine_) return false;
    texts_.push_back(text);
    if (onStatus_) onStatus_(text);
    return true;
  }
  void PostCommand(int id) override { completion_ = id; }
  int AskOkCancel(const std::string&, const std::string&) override {
    plateAsked_ = true;
    return confirmPlate_ ? kAnswerOk : kAnswerCancel;
  }

  int completion() const { return completion_; }
  bool plateRefused() const { return plateAsked_ && !confirmPlate_; }
  const std::vector<std::string>& texts() const { return texts_; }

 private:
  const std::function<void(const std::string&)>& onStatus_;
  bool confirmPlate_;
  int statusLine_ = 0;  // its address is the status line's handle
  int completion_ = 0;
  bool plateAsked_ = false;
  std::vector<std::string> texts_;
};

bool NamesMissingFilter(const char* message) {
  return std::strncmp(message, "Filter ", 7) == 0 &&
         std::strstr(message, " not in reader.") != nullptr;
}

}  // namespace

ReaderSession::ReaderSession(std::string device)
    : device_(std::move(device)),
      driver_(CreateReaderDriver(AppSettings.readerType, AppSettings.readerSubType)) {}

ReaderSession::~ReaderSession() = default;

bool ReaderSession::TryClaim() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (busy_) return false;
  busy_ = true;
  ++busyGeneration_;
  abort_.store(0);
  busyChanged_.notify_all();
  return true;
}

void ReaderSession::Release() {
  std::lock_guard<std::mutex> lock(mutex_);
  busy_ = false;
  execution_.clear();
  ++busyGeneration_;
  busyChanged_.notify_all();
}

bool ReaderSession::Busy() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return busy_;
}

uint64_t ReaderSession::BusyGeneration() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return busyGeneration_;
}

bool ReaderSession::WaitBusyChange(uint64_t* generation, bool* busy, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  const bool changed = busyChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                             [&] { return busyGeneration_ != *generation; });
  if (!changed) return false;
  // Report the next state in order, so that a subscriber that fell behind
  // still sees every rise and fall: generation g+1 is busy when odd.
  ++*generation;
  *busy = (*generation % 2) == 1;
  return true;
}

void ReaderSession::Abort() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (busy_) abort_.store(1);
}

void ReaderSession::SetExecution(const std::string& uuid) {
  std::lock_guard<std::mutex> lock(mutex_);
  execution_ = uuid;
}

bool ReaderSession::AbortExecution(const std::string& uuid) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!busy_ || execution_ != uuid) return false;
  abort_.store(1);
  return true;
}

ReaderReport ReaderSession::Run(const DriverCall& call,
                                const std::function<void(const std::string&)>& onStatus,
                                bool confirmPlate) {
  if (!driver_) return {ReaderOutcome::Failed, "out of memory"};
  std::string error;
  std::unique_ptr<PosixSerialPort> port = OpenReaderDevice(device_, &error);
  if (!port) return {ReaderOutcome::NoPort, error};

  ServerDialog dialog(onStatus, confirmPlate);
  DialogHandle* handle = &dialog;
  PortHandle portHandle = port.get();
  driver_->szMessage[0] = '\0';
  call(*driver_, &portHandle, &handle, &abort_);
  port.reset();

  const std::string message = driver_->szMessage;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (driver_->szReaderId[0] != '\0') readerId_ = driver_->szReaderId;
    readerKind_ = ReaderKindName(AppSettings.readerSubType, dialog.texts(), 0);
  }
  switch (dialog.completion()) {
    case kMeasureDone:
    case kFiltersDone:
    case kCalibrateDone:
    case kPlateMoved:
      return {ReaderOutcome::Done, message};
    case kUserAborted:
      if (dialog.plateRefused()) return {ReaderOutcome::PlateNotConfirmed, message};
      return {ReaderOutcome::Aborted, message};
    case kReaderTimeout:
      return {ReaderOutcome::NotResponding, message};
    default:
      if (NamesMissingFilter(message.c_str())) return {ReaderOutcome::FilterMissing, message};
      return {ReaderOutcome::Failed, message};
  }
}

std::string ReaderSession::ReaderId() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return readerId_;
}

std::string ReaderSession::ReaderKind() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return readerKind_;
}

std::vector<int> ReaderSession::Filters() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return filters_;
}

void ReaderSession::RememberFilters(const int32_t* wavelengths, int count) {
  std::lock_guard<std::mutex> lock(mutex_);
  filters_.assign(wavelengths, wavelengths + count);
}
