// The layout parser against arbitrary files: it never crashes, an error
// is one line naming what is wrong, and a layout it accepts is written
// back in a form that reads the same.
#include <cstddef>
#include <cstdint>
#include <string>

#include "analysis/plate_layout.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const analysis::LayoutParse parse = analysis::ParseLayout(text);
  if (!parse.ok) {
    FUZZ_CHECK(!parse.error.empty());
    return 0;
  }
  const std::string written = analysis::WriteLayout(parse.layout);
  const analysis::LayoutParse again = analysis::ParseLayout(written);
  FUZZ_CHECK(again.ok);
  FUZZ_CHECK(again.layout == parse.layout);
  FUZZ_CHECK(analysis::WriteLayout(again.layout) == written);
  return 0;
}
