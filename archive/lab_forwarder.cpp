#include "archive/lab_forwarder.h"

#include <exception>
#include <utility>

namespace archive {

LabForwarder::LabForwarder(std::function<void(const ForwardOutcome&)> done)
    : done_(std::move(done)), thread_([this] { Run(); }) {}

LabForwarder::~LabForwarder() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    asked_.reset();
  }
  wake_.notify_all();
  thread_.join();
}

void LabForwarder::Request(const StoreConfig& config) {
  if (config.labUrl.empty()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    asked_ = config;
  }
  wake_.notify_all();
}

bool LabForwarder::Idle() {
  std::lock_guard<std::mutex> lock(mutex_);
  return !running_ && !asked_;
}

void LabForwarder::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || asked_.has_value(); });
    if (stopping_) return;
    const StoreConfig config = std::move(*asked_);
    asked_.reset();
    running_ = true;
    lock.unlock();
    ForwardOutcome outcome;
    try {
      outcome = ForwardToLab(config);
    } catch (const std::exception& e) {
      outcome.error = e.what();
    } catch (...) {
      outcome.error = "unknown error";
    }
    if (done_) done_(outcome);
    lock.lock();
    running_ = false;
  }
}

}  // namespace archive
