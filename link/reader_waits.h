// How long the driver lets the reader work before it asks again. An
// instrument needs the full times; the simulator reads a plate in a fraction
// of them, so the tests that run against it divide every such wait by
// PLATOVIX_READER_WAIT_DIVISOR (an integer above 1). Unset, as the program
// always runs, the waits are the instrument's.
#pragma once

#include <chrono>
#include <cstdint>

uint32_t ReaderWaitMs(uint32_t ms);

inline std::chrono::milliseconds ReaderWait(std::chrono::milliseconds wait) {
  return std::chrono::milliseconds(ReaderWaitMs(static_cast<uint32_t>(wait.count())));
}
