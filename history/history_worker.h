// The History's archive work, off the GUI thread: a slow or locked lab
// server never freezes the window. One query at a time, in the order asked;
// a request not yet started gives way to a newer one of its kind. What a
// query found comes back to the GUI thread as a queued call on the window.
// When the application ends, queries under way are let finish and their
// threads joined, so none outlives the program's end.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>

#include "history/history_source.h"

class HistoryWorker {
 public:
  // Open and Export are never replaced: each is waited for.
  enum Kind { Open, List, Audit, Read, Export };
  // Runs on the GUI thread with the query's findings.
  using Done = std::function<void()>;
  // Runs on the worker's thread, the only one that touches the source.
  using Job = std::function<Done(HistorySource&)>;

  // receiver: the window the findings go to; onIdle: called (on the GUI
  // thread) when nothing is asked for any more.
  HistoryWorker(QObject* receiver, std::function<void()> onIdle);
  // Never waits: a query under way ends on its own (the lab's time-outs),
  // and what it found is dropped.
  ~HistoryWorker();
  HistoryWorker(const HistoryWorker&) = delete;
  HistoryWorker& operator=(const HistoryWorker&) = delete;

  void Post(Kind kind, Job job);
  // Nothing asked for is waiting, under way, or found and not yet shown.
  bool Idle() const { return !busy_; }

  struct Shared;

 private:
  void Quiet(uint64_t finished);
  std::shared_ptr<Shared> shared_;
  std::function<void()> onIdle_;
  bool busy_ = false;  // the GUI thread's alone
};
