// The data blocks of the three readers, decoded without a line: the well
// each value lands in, the value rule, the reference pass and the blocks the
// decoder must refuse.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "driver/block_decoding.h"
#include "driver/reader_kind.h"

namespace {

std::string Field(int value, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "%*d", width, value);
  return text;
}

std::vector<int32_t> FreshPlate() {
  return std::vector<int32_t>(kPlateWells, kWellNoValue);
}

// The blocks of one pass as the reader lays them out, written from the
// reader's description (not from the decoder's table): DigiScan one column
// per block behind a block number, Jupiter six columns, Expert two; values
// run down each column.
std::vector<std::string> EncodePass(ReaderKind kind, const std::vector<int>& plate, int pass) {
  std::vector<std::string> blocks;
  const auto well = [&](int row, int column) { return plate[row * 12 + column]; };
  switch (kind) {
    case ReaderKind::DigiScan:
      for (int b = 0; b < 12; ++b) {
        std::string text = Field(100 * pass + b + 1, 3);
        for (int row = 0; row < 8; ++row) text += Field(well(row, b), 5);
        blocks.push_back(text);
      }
      break;
    case ReaderKind::Jupiter:
      for (int b = 0; b < 2; ++b) {
        std::string text;
        for (int j = 0; j < 48; ++j) text += Field(well(j % 8, 6 * b + j / 8), 5);
        blocks.push_back(text);
      }
      break;
    case ReaderKind::Expert:
      for (int b = 0; b < 6; ++b) {
        std::string text;
        for (int j = 0; j < 16; ++j) text += Field(well(j % 8, 2 * b + j / 8), 4);
        blocks.push_back(text);
      }
      break;
  }
  return blocks;
}

// A distinct in-range reading per well, so a row / column mix-up shows.
std::vector<int> DistinctReadings(int offset) {
  std::vector<int> plate(kPlateWells);
  for (int i = 0; i < kPlateWells; ++i) plate[i] = offset + 7 * i;
  return plate;
}

bool Decode(ReaderKind kind, const std::string& text, int block, std::vector<int32_t>& plate) {
  return DecodeBlock(TraitsOf(kind), text.data(), static_cast<int>(text.size()), block,
                     plate.data());
}

constexpr ReaderKind kAllKinds[] = {ReaderKind::DigiScan, ReaderKind::Jupiter, ReaderKind::Expert};

}  // namespace

TEST(BlockDecoding, EveryLayoutFillsEachWellFromItsOwnValue) {
  for (ReaderKind kind : kAllKinds) {
    SCOPED_TRACE(static_cast<int>(kind));
    const std::vector<int> primary = DistinctReadings(1);
    const std::vector<int> reference = DistinctReadings(0);  // one less in every well
    std::vector<int32_t> plate = FreshPlate();

    const std::vector<std::string> first = EncodePass(kind, primary, 0);
    ASSERT_EQ(static_cast<int>(first.size()), BlocksInTransfer(TraitsOf(kind), false));
    for (size_t b = 0; b < first.size(); ++b) ASSERT_TRUE(Decode(kind, first[b], b, plate));
    EXPECT_EQ(plate, std::vector<int32_t>(primary.begin(), primary.end()));

    const std::vector<std::string> second = EncodePass(kind, reference, 1);
    ASSERT_EQ(static_cast<int>(first.size() + second.size()),
              BlocksInTransfer(TraitsOf(kind), true));
    for (size_t b = 0; b < second.size(); ++b)
      ASSERT_TRUE(Decode(kind, second[b], first.size() + b, plate));
    EXPECT_EQ(plate, std::vector<int32_t>(kPlateWells, 1));
  }
}

TEST(BlockDecoding, DigiScanFirstBlockAndItsRange) {
  const std::string block = "  1" + Field(1234, 5) + Field(567, 5) + Field(-12, 5) +
                            Field(3200, 5) + Field(0, 5) + Field(45, 5) + Field(3201, 5) +
                            Field(100, 5);
  ASSERT_EQ(block.size(), 43u);
  std::vector<int32_t> plate = FreshPlate();
  ASSERT_TRUE(Decode(ReaderKind::DigiScan, block, 0, plate));
  const int32_t columnOne[8] = {1234, 567, -12, 3200, 0, 45, 9999, 100};
  for (int row = 0; row < 8; ++row) EXPECT_EQ(plate[row * 12], columnOne[row]) << "row " << row;
  EXPECT_EQ(plate[1], kWellNoValue);  // column 2 untouched

  const ReaderTraits& digiScan = TraitsOf(ReaderKind::DigiScan);
  EXPECT_EQ(WellReading(digiScan, -100), -100);
  EXPECT_EQ(WellReading(digiScan, -101), kWellNoValue);
  EXPECT_EQ(WellReading(digiScan, 99998), kWellNoValue);  // no "no value" code of its own
}

TEST(BlockDecoding, NoValueCodesAndUpperLimitsPerReader) {
  const ReaderTraits& jupiter = TraitsOf(ReaderKind::Jupiter);
  const ReaderTraits& expert = TraitsOf(ReaderKind::Expert);
  EXPECT_EQ(WellReading(jupiter, 99998), -1);
  EXPECT_EQ(WellReading(jupiter, 9998), kWellNoValue);
  EXPECT_EQ(WellReading(jupiter, 4100), 4100);
  EXPECT_EQ(WellReading(expert, 9998), -1);
  EXPECT_EQ(WellReading(expert, 4100), 4100);
  EXPECT_EQ(WellReading(expert, 4101), kWellNoValue);
  EXPECT_EQ(WellReading(expert, -100), -100);
  EXPECT_EQ(WellReading(expert, -101), kWellNoValue);
}

TEST(BlockDecoding, ReferencePassSubtractsAndKeepsOutOfRangeWells) {
  // Expert: block 0 holds columns 1 and 2 of the primary pass, block 6 the
  // same wells at the reference filter.
  std::vector<int> primary(16, 0), reference(16, 0);
  primary[0] = 1500, reference[0] = 200;  // A1: 1300
  primary[1] = 100, reference[1] = 300;   // B1: -200
  primary[2] = 4101, reference[2] = 10;   // C1: primary out of range
  primary[3] = 50, reference[3] = 4200;   // D1: reference out of range
  primary[4] = 9998, reference[4] = 20;   // E1: no value (-1) minus 20
  primary[5] = -101, reference[5] = 20;   // F1: below the range: no value, not over it
  const auto block = [](const std::vector<int>& values) {
    std::string text;
    for (int v : values) text += Field(v, 4);
    return text;
  };
  std::vector<int32_t> plate = FreshPlate();
  std::vector<uint8_t> overRange(kPlateWells, 7);  // 7: not touched
  const ReaderTraits& expert = TraitsOf(ReaderKind::Expert);
  const auto decode = [&](const std::string& text, int number) {
    return DecodeBlock(expert, text.data(), static_cast<int>(text.size()), number, plate.data(),
                       overRange.data());
  };
  ASSERT_TRUE(decode(block(primary), 0));
  ASSERT_TRUE(decode(block(reference), 6));
  EXPECT_EQ(plate[0 * 12], 1300);
  EXPECT_EQ(plate[1 * 12], -200);
  EXPECT_EQ(plate[2 * 12], kWellNoValue);
  EXPECT_EQ(plate[3 * 12], kWellNoValue);
  EXPECT_EQ(plate[4 * 12], -21);
  EXPECT_EQ(plate[5 * 12], kWellNoValue);
  // Which of the 9999s were read above the range: C1 and D1 only.
  for (int row = 0; row < 8; ++row) {
    EXPECT_EQ(overRange[row * 12], row == 2 || row == 3 ? 1 : 0) << "row " << row;
    EXPECT_EQ(overRange[row * 12 + 1], 0) << "column 2, row " << row;
  }
  EXPECT_EQ(overRange[2], 7) << "a well outside the blocks is left alone";
}

TEST(BlockDecoding, DigiScanBlockNumbersRunOneToTwelveThenFromHundredOne) {
  const auto block = [](int number) {
    std::string text = Field(number, 3);
    for (int row = 0; row < 8; ++row) text += Field(row, 5);
    return text;
  };
  std::vector<int32_t> plate = FreshPlate();
  EXPECT_TRUE(Decode(ReaderKind::DigiScan, block(12), 11, plate));
  EXPECT_TRUE(Decode(ReaderKind::DigiScan, block(101), 12, plate));
  EXPECT_TRUE(Decode(ReaderKind::DigiScan, block(112), 23, plate));

  const std::vector<int32_t> before = plate;
  EXPECT_FALSE(Decode(ReaderKind::DigiScan, block(13), 12, plate));  // 101 belongs here
  EXPECT_FALSE(Decode(ReaderKind::DigiScan, block(2), 0, plate));
  EXPECT_FALSE(Decode(ReaderKind::DigiScan, "   " + block(1).substr(3), 0, plate));
  EXPECT_FALSE(Decode(ReaderKind::DigiScan, block(1), 24, plate));  // beyond the transfer
  EXPECT_EQ(plate, before);
}

TEST(BlockDecoding, FieldsAndLengthsTheDecoderMustRefuse) {
  std::string good = "  1";
  for (int row = 0; row < 8; ++row) good += Field(10 + row, 5);
  std::vector<int32_t> plate = FreshPlate();
  ASSERT_TRUE(Decode(ReaderKind::DigiScan, good, 0, plate));
  EXPECT_EQ(plate[7 * 12], 17);

  // A field "  12 " is read as 12: blanks around the number are padding.
  std::string padded = good;
  padded.replace(3, 5, "  12 ");
  ASSERT_TRUE(Decode(ReaderKind::DigiScan, padded, 0, plate));
  EXPECT_EQ(plate[0], 12);

  plate = FreshPlate();
  std::string blank = good;
  blank.replace(3 + 5 * 4, 5, "     ");
  EXPECT_FALSE(Decode(ReaderKind::DigiScan, blank, 0, plate));
  std::string signOnly = good;
  signOnly.replace(3 + 5 * 6, 5, "  -  ");
  EXPECT_FALSE(Decode(ReaderKind::DigiScan, signOnly, 0, plate));
  EXPECT_FALSE(Decode(ReaderKind::DigiScan, good.substr(0, 42), 0, plate));
  EXPECT_FALSE(Decode(ReaderKind::DigiScan, good + " ", 0, plate));
  EXPECT_FALSE(Decode(ReaderKind::Jupiter, std::string(240, ' '), 0, plate));
  EXPECT_FALSE(Decode(ReaderKind::Expert, good, 0, plate));
  EXPECT_EQ(plate, FreshPlate());  // nothing of a refused block is kept
}

TEST(BlockDecoding, ModelReplyMustStartWithExactlyFSCH) {
  EXPECT_EQ(KindFromModelReply("FSCH 2.1"), ReaderKind::Jupiter);
  EXPECT_EQ(KindFromModelReply("FSCH"), ReaderKind::Jupiter);
  EXPECT_EQ(KindFromModelReply("fsch 2.1"), ReaderKind::Expert);
  EXPECT_EQ(KindFromModelReply("FSC"), ReaderKind::Expert);
  EXPECT_EQ(KindFromModelReply(" FSCH"), ReaderKind::Expert);
  EXPECT_EQ(KindFromModelReply(""), ReaderKind::Expert);
}

// Whatever arrives, the decoder either refuses it or leaves only values the
// plate can hold: in range, -1, or 9999.
TEST(BlockDecoding, RandomBlocksNeverCorruptThePlate) {
  std::mt19937 random(7);
  const std::string alphabet = "0123456789 +-x\x03";
  for (ReaderKind kind : kAllKinds) {
    const ReaderTraits& reader = TraitsOf(kind);
    for (int round = 0; round < 3000; ++round) {
      const int length = reader.blocks.blockLength + static_cast<int>(random() % 3) - 1;
      std::string text(length + 8, '\0');  // room behind the text, as in the line buffer
      for (int i = 0; i < length; ++i) text[i] = alphabet[random() % alphabet.size()];
      std::vector<int32_t> plate = FreshPlate();
      const int block = static_cast<int>(random() % (2 * reader.blocks.blocksPerPass + 1));
      DecodeBlock(reader, text.data(), length, block, plate.data());
      for (int32_t value : plate)
        ASSERT_TRUE(value == kWellNoValue ||
                    (value >= -100 - reader.upperLimit && value <= reader.upperLimit + 100));
    }
  }
}
