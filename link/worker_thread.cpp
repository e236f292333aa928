#include "link/worker_thread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

std::unique_ptr<WorkerThread> hWorkerThread;

// Shared by the handle and the thread, so either may go first.
struct WorkerThread::State {
  std::mutex mutex;
  std::condition_variable changed;
  bool released = false;
  bool cancelled = false;  // the handle went away before Resume
  bool finished = false;
};

std::unique_ptr<WorkerThread> WorkerThread::CreateSuspended(std::function<void()> entry) {
  auto state = std::make_shared<State>();
  try {
    std::thread thread([state, entry = std::move(entry)]() mutable {
      {
        std::unique_lock lock(state->mutex);
        state->changed.wait(lock, [&] { return state->released || state->cancelled; });
        if (!state->released) {
          state->finished = true;
          return;
        }
      }
      entry();
      entry = nullptr;  // what the entry holds goes before the thread counts as ended
      std::lock_guard lock(state->mutex);
      state->finished = true;
      state->changed.notify_all();
    });
    // Nobody joins: the handle may be let go while the worker still runs
    // (the dialog gives up waiting), and the shared state outlives both.
    thread.detach();
  } catch (const std::system_error&) {
    return nullptr;
  }
  return std::unique_ptr<WorkerThread>(new WorkerThread(std::move(state)));
}

WorkerThread::WorkerThread(std::shared_ptr<State> state) : state_(std::move(state)) {}

WorkerThread::~WorkerThread() {
  std::lock_guard lock(state_->mutex);
  if (!state_->released) {
    // Never started: let the thread end without running its entry.
    state_->cancelled = true;
    state_->changed.notify_all();
  }
}

void WorkerThread::Resume() {
  std::lock_guard lock(state_->mutex);
  state_->released = true;
  state_->changed.notify_all();
}

bool WorkerThread::WaitFor(unsigned ms) {
  std::unique_lock lock(state_->mutex);
  return state_->changed.wait_for(lock, std::chrono::milliseconds(ms),
                                  [&] { return state_->finished; });
}

bool WorkerThread::Finished() const {
  std::lock_guard lock(state_->mutex);
  return state_->finished;
}
