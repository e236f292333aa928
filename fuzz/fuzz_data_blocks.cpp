// The data blocks of all three readers against arbitrary texts: a garbled
// block is refused and leaves the plate as it was; an accepted one puts only
// values the plate can hold into the wells it covers.
//
// Input: one byte for the reader (mod 3), one for the block number, then the
// block text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "driver/block_decoding.h"
#include "driver/reader_kind.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const ReaderKind kKinds[] = {ReaderKind::DigiScan, ReaderKind::Jupiter,
                                      ReaderKind::Expert};
  const ReaderTraits& reader = TraitsOf(kKinds[data[0] % 3]);
  // Mostly real block numbers, sometimes ones no transfer has.
  const int block = static_cast<int>(data[1]) - 2;
  const std::string text(reinterpret_cast<const char*>(data + 2), std::min<size_t>(size - 2, 1022));

  int32_t plate[kPlateWells];
  for (int i = 0; i < kPlateWells; ++i) plate[i] = (i * 37) % 5000 - 100;
  int32_t before[kPlateWells];
  std::memcpy(before, plate, sizeof plate);

  const int length = static_cast<int>(text.size());
  if (!DecodeBlock(reader, text.c_str(), length, block, plate)) {
    FUZZ_CHECK(std::memcmp(before, plate, sizeof plate) == 0);
    return 0;
  }
  FUZZ_CHECK(length == reader.blocks.blockLength);
  FUZZ_CHECK(block >= 0 && block < BlocksInTransfer(reader, true));
  const bool referencePass = block >= reader.blocks.blocksPerPass;
  int changed = 0;
  for (int i = 0; i < kPlateWells; ++i) {
    if (plate[i] == before[i]) continue;
    ++changed;
    if (!referencePass) {
      // A primary reading is in range, the "no value" -1, or 9999.
      FUZZ_CHECK(plate[i] == kWellNoValue || (plate[i] >= -100 && plate[i] <= reader.upperLimit));
    } else {
      FUZZ_CHECK(plate[i] == kWellNoValue ||
                 (plate[i] >= before[i] - reader.upperLimit && plate[i] <= before[i] + 100));
    }
  }
  FUZZ_CHECK(changed <= reader.blocks.valuesPerBlock);
  return 0;
}
