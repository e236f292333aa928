#include "history/history_worker.h"

#include <QMetaObject>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

struct HistoryWorker::Shared {
  std::mutex mutex;
  std::deque<std::pair<Kind, Job>> jobs;
  bool running = false;
  QObject* receiver = nullptr;  // null once the window is gone
  std::function<void()> onIdle;
  HistorySource source;  // the worker thread's alone

  // Under the lock, so the window cannot go away in between.
  void Deliver(Done done) {
    if (receiver != nullptr && done) {
      QMetaObject::invokeMethod(receiver, std::move(done), Qt::QueuedConnection);
    }
  }
};

namespace {

void Drain(const std::shared_ptr<HistoryWorker::Shared>& shared) {
  for (;;) {
    HistoryWorker::Job job;
    {
      std::lock_guard<std::mutex> lock(shared->mutex);
      if (shared->jobs.empty() || shared->receiver == nullptr) {
        shared->running = false;
        shared->Deliver(shared->onIdle);
        return;
      }
      job = std::move(shared->jobs.front().second);
      shared->jobs.pop_front();
    }
    HistoryWorker::Done done;
    try {
      done = job(shared->source);
    } catch (const std::exception&) {
      done = nullptr;  // the window is told it is idle; nothing else to show
    }
    std::lock_guard<std::mutex> lock(shared->mutex);
    shared->Deliver(std::move(done));
  }
}

}  // namespace

HistoryWorker::HistoryWorker(QObject* receiver, std::function<void()> onIdle)
    : shared_(std::make_shared<Shared>()), onIdle_(std::move(onIdle)) {
  shared_->receiver = receiver;
  // Delivered after every finding before it: the window is alive, and so is this.
  shared_->onIdle = [this] { Quiet(); };
}

void HistoryWorker::Quiet() {
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    if (shared_->running || !shared_->jobs.empty()) return;  // asked again meanwhile
  }
  busy_ = false;
  if (onIdle_) onIdle_();
}

HistoryWorker::~HistoryWorker() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->receiver = nullptr;
  shared_->jobs.clear();
}

void HistoryWorker::Post(Kind kind, Job job) {
  busy_ = true;
  std::lock_guard<std::mutex> lock(shared_->mutex);
  bool replaced = false;
  for (auto& queued : shared_->jobs) {
    if (queued.first == kind && kind != Open && kind != Export) {
      queued.second = std::move(job);
      replaced = true;
      break;
    }
  }
  if (!replaced) shared_->jobs.emplace_back(kind, std::move(job));
  if (!shared_->running) {
    shared_->running = true;
    // Detached: the last job may outlive the window; the shared state with it.
    std::thread(Drain, shared_).detach();
  }
}
