// The spool reader against arbitrary files (torn, spoiled, hand-edited):
// it never fails, keeps every byte that is no entry, and finds a whole
// entry again wherever it follows the damage.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "archive/spool_entry.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const archive::SpoolScan scan = archive::ScanSpool(text);
  FUZZ_CHECK(scan.damaged.size() <= text.size());
  FUZZ_CHECK(scan.damaged.empty() == (scan.damagedPieces == 0));
  for (const std::string& content : scan.entries) {
    const archive::SpoolScan again = archive::ScanSpool(archive::FramedEntry(content));
    FUZZ_CHECK(again.entries.size() == 1 && again.entries[0] == content);
  }

  // Whatever came before, torn or not, an entry written after it is found.
  const std::string content = "{\"kind\":\"read\",\"uuid\":\"after\"}";
  std::string spool(text);
  const bool ended = spool.empty() || spool.back() == '\n';
  if (!ended) spool += '\n';  // as the writer does after a torn line
  spool += archive::FramedEntry(content);
  const archive::SpoolScan after = archive::ScanSpool(spool);
  FUZZ_CHECK(!after.entries.empty() && after.entries.back() == content);
  FUZZ_CHECK(after.damaged.size() <= text.size() + 1);
  if (ended) {
    FUZZ_CHECK(after.damaged == scan.damaged);
    FUZZ_CHECK(after.entries.size() == scan.entries.size() + 1);
  }
  return 0;
}
