// The plate values in the reader's data blocks, read without any line so
// that every layout and every odd field can be tried directly.
#pragma once

#include <cstdint>

#include "driver/reader_kind.h"

inline constexpr int kPlateWells = 96;
inline constexpr int kPlateRows = 8;
inline constexpr int kPlateColumns = 12;
inline constexpr int32_t kWellNoValue = 9999;  // not measured, or out of range

// Blocks the reader sends for one plate: one pass, or two with a reference.
int BlocksInTransfer(const ReaderTraits& reader, bool withReference);

// One reading as the plate keeps it: the reader's "no value" code becomes
// -1, a reading below -100 or above the reader's range becomes 9999.
int32_t WellReading(const ReaderTraits& reader, int raw);

// Decodes block number `block` (0-based over the whole transfer) of `length`
// characters into the plate (row-major, A1..A12, B1..H12). Primary blocks
// set their wells; reference blocks subtract from them, and a well whose
// primary or reference reading is out of range becomes 9999. False when the
// block is garbled (wrong length, block number or a field without a digit);
// the plate is then left as it was. overRange, when given, gets 1 for a well
// whose primary or reference reading was above the reader's range (its value
// is 9999 then, like a well without one) and 0 for the other wells the
// block fills.
bool DecodeBlock(const ReaderTraits& reader, const char* text, int length, int block,
                 int32_t plate[kPlateWells], uint8_t overRange[kPlateWells] = nullptr);
