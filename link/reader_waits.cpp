#include "link/reader_waits.h"

#include <cstdlib>

namespace {

int Divisor() {
  const char* text = std::getenv("PLATOVIX_READER_WAIT_DIVISOR");
  if (text == nullptr) return 1;
  const long divisor = std::strtol(text, nullptr, 10);
  return divisor > 1 && divisor <= 1000 ? static_cast<int>(divisor) : 1;
}

}  // namespace

uint32_t ReaderWaitMs(uint32_t ms) {
  static const int divisor = Divisor();  // read once: the environment is the test run's
  return ms / static_cast<uint32_t>(divisor);
}
