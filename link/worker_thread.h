// The worker thread of one reader operation: created held back, released
// once the dialog has set everything the worker reads, and waited for with a
// bound when its completion command has arrived.
#pragma once

#include <functional>
#include <memory>

class WorkerThread {
 public:
  // Creates the thread; it does not run entry until Resume. Null when the
  // system cannot start a thread.
  static std::unique_ptr<WorkerThread> CreateSuspended(std::function<void()> entry);
  // Letting go of a thread that still runs detaches it; its state lives on.
  ~WorkerThread();

  void Resume();
  // True when the thread has ended within ms milliseconds.
  bool WaitFor(unsigned ms);
  bool Finished() const;

 private:
  struct State;
  explicit WorkerThread(std::shared_ptr<State> state);
  std::shared_ptr<State> state_;
};
