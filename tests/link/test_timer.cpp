// The interval timer under every pause and time-out of the reader link.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "link/interval_timer.h"

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<uint32_t> fakeTicks{0};
uint32_t FakeTicks() {
  return fakeTicks.load();
}

}  // namespace

TEST(IntervalTimer, ThirtyMillisecondsPassOnlyAfterThirty) {
  IntervalTimer timer;
  EXPECT_FALSE(timer.IsElapsed(30));
  EXPECT_LT(timer.ElapsedMs(), 30);
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  EXPECT_TRUE(timer.IsElapsed(30));
  EXPECT_GE(timer.ElapsedMs(), 30);
}

TEST(IntervalTimer, BusyWaitLastsALittleOverItsTime) {
  const auto start = Clock::now();
  BusyWait(30);
  const auto waited =
      std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
  EXPECT_GE(waited, 30000);  // microseconds, truncated
  EXPECT_LT(waited, 500000);
}

TEST(IntervalTimer, WrappingTickCountStillMeasuresRight) {
  fakeTicks = 0xFFFFFFF0u;  // 16 ms before the 32-bit count wraps
  UseTickSourceForTesting(FakeTicks);
  IntervalTimer timer;
  fakeTicks = 0xFFFFFFFEu;
  EXPECT_FALSE(timer.IsElapsed(30));
  EXPECT_EQ(timer.ElapsedMs(), 14);
  fakeTicks = 14;                     // wrapped: 30 ms since the start
  EXPECT_FALSE(timer.IsElapsed(30));  // strictly more is needed
  EXPECT_EQ(timer.ElapsedMs(), 30);
  fakeTicks = 15;
  EXPECT_TRUE(timer.IsElapsed(30));
  EXPECT_EQ(timer.ElapsedMs(), 31);
  UseTickSourceForTesting(nullptr);
}
