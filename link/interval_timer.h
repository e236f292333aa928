// Millisecond intervals for every pause and time-out of the reader link.
#pragma once

#include <cstdint>

class IntervalTimer {
 public:
  IntervalTimer();  // starts the interval

  // True once strictly more than ms milliseconds have passed.
  bool IsElapsed(uint32_t ms) const;
  // Whole milliseconds passed, truncated.
  int ElapsedMs() const;

 private:
  int64_t counter_ = 0;  // high-resolution count at the start
  uint32_t ticks_ = 0;   // tick count at the start, without a high-resolution clock
};

// Spins, without sleeping, until strictly more than ms milliseconds passed.
void BusyWait(uint32_t ms);

// The timer runs on the monotonic clock. Tests switch it to a 32-bit
// millisecond tick source (which may wrap) to check that path; null restores
// the monotonic clock.
using TickSource = uint32_t (*)();
void UseTickSourceForTesting(TickSource source);
