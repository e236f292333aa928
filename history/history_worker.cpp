#include "history/history_worker.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

struct HistoryWorker::Shared {
  std::mutex mutex;
  std::deque<std::pair<Kind, Job>> jobs;
  bool running = false;
  QObject* receiver = nullptr;           // null once the window is gone
  std::function<void(uint64_t)> onIdle;  // with the count of jobs finished by then
  uint64_t posted = 0;                   // jobs asked for, a replaced one not counted again
  uint64_t finished = 0;                 // jobs run, their findings sent
  HistorySource source;                  // the worker thread's alone

  // Under the lock, so the window cannot go away in between.
  void Deliver(Done done) {
    if (receiver != nullptr && done) {
      QMetaObject::invokeMethod(receiver, std::move(done), Qt::QueuedConnection);
    }
  }
};

namespace {

// The workers' threads, joined when the application ends: a query still
// under way then (a locked lab) is let run out on the lab's time-outs, so no
// thread is left using the archive while the program's static objects go.
// Never destroyed, so a thread can always report its end here.
struct Threads {
  struct Running {
    std::thread thread;
    bool done = false;
  };
  std::mutex mutex;
  std::vector<std::shared_ptr<Running>> running;
  std::vector<std::weak_ptr<HistoryWorker::Shared>> workers;
  bool hooked = false;
};

Threads& AllThreads() {
  static Threads* threads = new Threads;
  return *threads;
}

void JoinAll() {
  Threads& all = AllThreads();
  std::vector<std::shared_ptr<Threads::Running>> running;
  {
    std::lock_guard<std::mutex> lock(all.mutex);
    running.swap(all.running);
    all.hooked = false;
    // No window gets findings any more; nothing queued starts.
    for (const auto& weak : all.workers) {
      if (const auto shared = weak.lock()) {
        std::lock_guard<std::mutex> jobs(shared->mutex);
        shared->receiver = nullptr;
        shared->jobs.clear();
      }
    }
    all.workers.clear();
  }
  for (const auto& thread : running) thread->thread.join();
}

void Drain(const std::shared_ptr<HistoryWorker::Shared>& shared) {
  for (;;) {
    HistoryWorker::Job job;
    {
      std::lock_guard<std::mutex> lock(shared->mutex);
      if (shared->jobs.empty() || shared->receiver == nullptr) {
        shared->running = false;
        shared->Deliver([onIdle = shared->onIdle, upTo = shared->finished] { onIdle(upTo); });
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
    ++shared->finished;
  }
}

// Drains shared's jobs on a thread of its own; threads that have ended are
// joined on the way.
void StartThread(std::shared_ptr<HistoryWorker::Shared> shared) {
  Threads& all = AllThreads();
  std::lock_guard<std::mutex> lock(all.mutex);
  std::erase_if(all.running, [](const std::shared_ptr<Threads::Running>& running) {
    if (!running->done) return false;
    running->thread.join();
    return true;
  });
  std::erase_if(all.workers, [](const auto& weak) { return weak.expired(); });
  all.workers.push_back(shared);
  if (!all.hooked) {
    // Before QCoreApplication is gone, and with it main()'s stack.
    qAddPostRoutine(JoinAll);
    all.hooked = true;
  }
  auto entry = std::make_shared<Threads::Running>();
  entry->thread = std::thread([ended = &entry->done, shared = std::move(shared)]() mutable {
    Drain(shared);
    shared.reset();  // the last owner closes the archive here, before the join
    std::lock_guard<std::mutex> lock(AllThreads().mutex);
    *ended = true;
  });
  all.running.push_back(std::move(entry));
}

}  // namespace

HistoryWorker::HistoryWorker(QObject* receiver, std::function<void()> onIdle)
    : shared_(std::make_shared<Shared>()), onIdle_(std::move(onIdle)) {
  shared_->receiver = receiver;
  // Delivered after every finding before it: the window is alive, and so is this.
  shared_->onIdle = [this](uint64_t finished) { Quiet(finished); };
}

void HistoryWorker::Quiet(uint64_t finished) {
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    // Asked again meanwhile, or a later thread's findings still on their way
    // (they were queued after this call, on a thread that has ended since).
    if (shared_->running || !shared_->jobs.empty() || finished != shared_->posted) return;
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
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    bool replaced = false;
    for (auto& queued : shared_->jobs) {
      if (queued.first == kind && kind != Open && kind != Export) {
        queued.second = std::move(job);
        replaced = true;
        break;
      }
    }
    if (!replaced) {
      shared_->jobs.emplace_back(kind, std::move(job));
      ++shared_->posted;
    }
    if (shared_->running) return;
    shared_->running = true;
  }
  // The last job may outlive the window; the shared state with it.
  StartThread(shared_);
}
