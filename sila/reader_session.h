// The one reader behind the server: one operation at a time on the driver,
// a claim that refuses a second one at once, the abort flag that cancels
// the running one (the reader gets EOT), and what the reader last said
// about itself for the properties.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "driver/foto.h"

// How a driver operation ended, as the server reports it.
enum class ReaderOutcome {
  Done,
  NotResponding,      // time-out (805)
  Failed,             // the reader or the line failed (806); message = szMessage
  FilterMissing,      // "Filter %d not in reader."
  Aborted,            // cancelled through the abort flag (804)
  PlateNotConfirmed,  // the reader asked for its plate and the request said no
  NoPort,             // the device could not be opened
};

struct ReaderReport {
  ReaderOutcome outcome = ReaderOutcome::Done;
  std::string message;
};

// One driver call: the session binds port, dialog and abort flag.
using DriverCall =
    std::function<void(TFoto& driver, PortHandle* port, DialogHandle** dialog, AbortFlag* abort)>;

class ReaderSession {
 public:
  // device: what the port options resolved to; the settings are loaded.
  explicit ReaderSession(std::string device);
  ~ReaderSession();

  // Claims the reader for one operation; false at once when one runs.
  bool TryClaim();
  // Ends the claim; Busy subscribers see the change.
  void Release();
  bool Busy() const;

  // Runs the call on this thread; the reader must be claimed. onStatus gets
  // every status-line text; confirmPlate answers the Jupiter's plate request.
  ReaderReport Run(const DriverCall& call, const std::function<void(const std::string&)>& onStatus,
                   bool confirmPlate);

  // Raises the abort flag of the running operation, if any.
  void Abort();
  // True once the claim's abort flag is raised: a series stops between reads.
  bool AbortRaised() const { return abort_.load() != 0; }
  // Names the observable command execution that holds the claim.
  void SetExecution(const std::string& uuid);
  // Raises the abort flag only while the execution uuid holds the reader;
  // false when it does not (any more).
  bool AbortExecution(const std::string& uuid);

  // Waits until Busy differs from *seen or timeoutMs passes; true on a change,
  // with the new state in *seen. Every change is seen: a Busy that went up
  // and down again in between counts as a change too.
  bool WaitBusyChange(uint64_t* generation, bool* busy, int timeoutMs) const;
  uint64_t BusyGeneration() const;

  // What the reader last reported; empty until it was asked.
  std::string ReaderId() const;
  std::vector<int> Filters() const;
  void RememberFilters(const int32_t* wavelengths, int count);
  // The reader's model name ("DigiScan", "Jupiter", "Expert") after an operation.
  std::string ReaderKind() const;
  const std::string& device() const { return device_; }

 private:
  std::string device_;
  std::unique_ptr<TFoto> driver_;
  AbortFlag abort_{0};

  mutable std::mutex mutex_;
  mutable std::condition_variable busyChanged_;
  bool busy_ = false;
  std::string execution_;        // the observable command execution holding the claim
  uint64_t busyGeneration_ = 0;  // odd while busy
  std::string readerId_;
  std::string readerKind_;
  std::vector<int> filters_;
};
