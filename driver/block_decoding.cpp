#include "driver/block_decoding.h"

#include "link/reply_parsers.h"

namespace {

constexpr int kLowestReading = -100;
constexpr int kMaxValuesPerBlock = 48;  // a Jupiter block
constexpr int32_t kNoValueReading = -1;

// DigiScan counts the blocks of the reference pass from 101.
int ExpectedBlockNumber(const BlockLayout& layout, int block) {
  const int pass = block / layout.blocksPerPass;
  return 100 * pass + block % layout.blocksPerPass + 1;
}

bool ReadField(const char* field, int width, int* value) {
  bool noDigits = true;
  *value = ParseInt(field, width, &noDigits);
  return !noDigits;
}

int WellOf(const BlockLayout& layout, int block, int j) {
  const int row = j % kPlateRows;
  const int column = layout.columnsPerBlock * (block % layout.blocksPerPass) + j / kPlateRows;
  return row * kPlateColumns + column;
}

}  // namespace

int BlocksInTransfer(const ReaderTraits& reader, bool withReference) {
  return reader.blocks.blocksPerPass * (withReference ? 2 : 1);
}

int32_t WellReading(const ReaderTraits& reader, int raw) {
  if (reader.noValueCode != 0 && raw == reader.noValueCode) return kNoValueReading;
  if (raw < kLowestReading || raw > reader.upperLimit) return kWellNoValue;
  return raw;
}

bool DecodeBlock(const ReaderTraits& reader, const char* text, int length, int block,
                 int32_t plate[kPlateWells], uint8_t overRange[kPlateWells]) {
  const BlockLayout& layout = reader.blocks;
  if (length != layout.blockLength) return false;
  if (block < 0 || block >= 2 * layout.blocksPerPass) return false;
  if (layout.valuesPerBlock > kMaxValuesPerBlock) return false;

  if (layout.numberWidth > 0) {
    int number = 0;
    if (!ReadField(text, layout.numberWidth, &number)) return false;
    if (number != ExpectedBlockNumber(layout, block)) return false;
  }

  // Read the whole block before touching the plate, so that a garbled block
  // leaves no half of itself behind.
  int raw[kMaxValuesPerBlock];
  for (int j = 0; j < layout.valuesPerBlock; ++j) {
    const char* field = text + layout.numberWidth + j * layout.fieldWidth;
    if (!ReadField(field, layout.fieldWidth, &raw[j])) return false;
  }

  const bool referencePass = block >= layout.blocksPerPass;
  for (int j = 0; j < layout.valuesPerBlock; ++j) {
    const int index = WellOf(layout, block, j);
    int32_t& well = plate[index];
    const int32_t reading = WellReading(reader, raw[j]);
    // Above the range is a reading, only too high to tell: unlike a well
    // without a value it says the sample is strong.
    const bool above = raw[j] > reader.upperLimit && raw[j] != reader.noValueCode;
    if (overRange != nullptr) {
      if (!referencePass) {
        overRange[index] = above ? 1 : 0;
      } else if (above) {
        overRange[index] = 1;
      }
    }
    if (!referencePass) {
      well = reading;
    } else if (well > reader.upperLimit || reading > reader.upperLimit) {
      well = kWellNoValue;
    } else {
      well -= reading;
    }
  }
  return true;
}
