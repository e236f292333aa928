// The worker thread of one operation: held back until the dialog has set
// everything up, waited for with a bound, and safe to let go of early.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "link/worker_thread.h"

using namespace std::chrono_literals;

TEST(WorkerThread, RunsOnlyAfterResumeAndCanBeWaitedFor) {
  std::atomic<bool> ran{false};
  std::atomic<bool> go{false};
  auto worker = WorkerThread::CreateSuspended([&] {
    ran = true;
    while (!go) std::this_thread::sleep_for(1ms);
  });
  ASSERT_TRUE(worker);
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(ran);
  EXPECT_FALSE(worker->Finished());

  worker->Resume();
  EXPECT_FALSE(worker->WaitFor(50));  // still busy: the wait runs out
  EXPECT_TRUE(ran);
  EXPECT_FALSE(worker->Finished());

  go = true;
  EXPECT_TRUE(worker->WaitFor(2000));
  EXPECT_TRUE(worker->Finished());
  EXPECT_TRUE(worker->WaitFor(0));
}

TEST(WorkerThread, NeverResumedNeverRunsAndEnds) {
  auto ran = std::make_shared<std::atomic<bool>>(false);
  // The entry's captures die with the thread: seeing them go shows it ended.
  auto token = std::make_shared<int>(0);
  std::weak_ptr<int> watch = token;
  auto worker = WorkerThread::CreateSuspended([ran, token] { *ran = true; });
  ASSERT_TRUE(worker);
  token.reset();
  worker.reset();
  for (int i = 0; i < 400 && !watch.expired(); ++i) std::this_thread::sleep_for(5ms);
  EXPECT_TRUE(watch.expired());
  EXPECT_FALSE(*ran);
}

TEST(WorkerThread, LettingGoOfARunningWorkerIsSafe) {
  auto done = std::make_shared<std::atomic<bool>>(false);
  auto release = std::make_shared<std::atomic<bool>>(false);
  {
    auto worker = WorkerThread::CreateSuspended([done, release] {
      while (!*release) std::this_thread::sleep_for(1ms);
      *done = true;
    });
    ASSERT_TRUE(worker);
    worker->Resume();
    EXPECT_FALSE(worker->WaitFor(20));
  }  // handle gone while the worker still runs
  *release = true;
  for (int i = 0; i < 400 && !*done; ++i) std::this_thread::sleep_for(5ms);
  EXPECT_TRUE(*done);
}
