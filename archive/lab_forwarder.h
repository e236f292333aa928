// Forwarding to the lab archive on a thread of its own, so that whoever
// stored a read goes on at once and never waits on the lab server. Asks
// made while a forward runs are served by one more forward after it.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "archive/archive_store.h"

namespace archive {

class LabForwarder {
 public:
  // done runs on the forwarding thread after each forward.
  explicit LabForwarder(std::function<void(const ForwardOutcome&)> done = {});
  // Waits for a forward that runs; at most the lab's time-outs.
  ~LabForwarder();
  LabForwarder(const LabForwarder&) = delete;
  LabForwarder& operator=(const LabForwarder&) = delete;

  // Forwards what config's local archive holds for its lab; nothing without a lab.
  void Request(const StoreConfig& config);
  // Nothing asked for and nothing running.
  bool Idle();

 private:
  void Run();
  std::function<void(const ForwardOutcome&)> done_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<StoreConfig> asked_;
  bool running_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace archive
