#include "sim/data_blocks.h"

#include <string>

#include "sim/reader_family.h"

namespace sim {

namespace {

// The reader pads each field with blanks on the left; a number wider than
// its field is sent whole, as a real reader would overflow it.
std::string RightAligned(int value, int width) {
  std::string text = std::to_string(value);
  if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), ' ');
  return text;
}

int DigiScanBlockNumber(int b) {
  return b < 12 ? b + 1 : b + 89;
}

}  // namespace

std::vector<std::string> BuildDataBlocks(Family family, const PlateGrid& primary,
                                         const PlateGrid* reference) {
  const FamilyTraits& t = TraitsOf(family);
  const int count = t.blocksPerPass * (reference != nullptr ? 2 : 1);
  std::vector<std::string> blocks;
  for (int b = 0; b < count; ++b) {
    const PlateGrid& pass = b < t.blocksPerPass ? primary : *reference;
    std::string text;
    if (t.headerWidth > 0) text = RightAligned(DigiScanBlockNumber(b), t.headerWidth);
    for (int j = 0; j < t.valuesPerBlock; ++j)
      text += RightAligned(pass[WellOfValue(family, b, j)], t.fieldWidth);
    blocks.push_back(text);
  }
  return blocks;
}

std::string MisnumberBlock(Family family, const std::string& block, int b) {
  const FamilyTraits& t = TraitsOf(family);
  if (t.headerWidth == 0 || block.size() < static_cast<size_t>(t.headerWidth)) return block;
  // The reference pass restarting at 13 is the slip a program must catch.
  const int wrong = b < 12 ? b + 2 : b + 1;
  return RightAligned(wrong, t.headerWidth) + block.substr(t.headerWidth);
}

std::string BlankValueField(Family family, const std::string& block, int j) {
  const FamilyTraits& t = TraitsOf(family);
  if (j < 0 || j >= t.valuesPerBlock) j = 0;
  std::string text = block;
  const size_t at = static_cast<size_t>(t.headerWidth + j * t.fieldWidth);
  if (at + t.fieldWidth <= text.size()) text.replace(at, t.fieldWidth, t.fieldWidth, ' ');
  return text;
}

}  // namespace sim
