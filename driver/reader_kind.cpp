#include "driver/reader_kind.h"

#include <cstring>

#include "driver/foto.h"

namespace {

// clang-format off
constexpr ReaderTraits kDigiScan{
    ReaderKind::DigiScan, nullptr, "", '@', false, 3200, 0,
    {"Ad1", "Ad2"},
    {12, 43, 3, 8, 5, 1},
    {{"Mm2000G", nullptr}},
    {{"IG", nullptr}},
};

// The Jupiter pulls the carrier in to measure and must be asked to present
// it again ("Mx1jG") before it can travel all the way out.
constexpr ReaderTraits kJupiter{
    ReaderKind::Jupiter, "Jupiter", "i4", 'D', true, 4100, 99998,
    {"Ax", "Ax"},
    {2, 240, 0, 48, 5, 6},
    {{"IG", nullptr}},
    {{"Mx1jG", "Mx0m3000G"}},
};

constexpr ReaderTraits kExpert{
    ReaderKind::Expert, "Expert", "c0i1", 'D', false, 4100, 9998,
    {"Ax", "Ax"},
    {6, 64, 0, 16, 4, 2},
    {{"Mm2000G", nullptr}},
    {{"IG", nullptr}},
};
// clang-format on

}  // namespace

const ReaderTraits& TraitsOf(ReaderKind kind) {
  switch (kind) {
    case ReaderKind::Jupiter:
      return kJupiter;
    case ReaderKind::Expert:
      return kExpert;
    case ReaderKind::DigiScan:
      break;
  }
  return kDigiScan;
}

ReaderKind KindFromModelReply(const char* reply) {
  return std::strncmp(reply, "FSCH", 4) == 0 ? ReaderKind::Jupiter : ReaderKind::Expert;
}

ReaderKind IdentifyReader(TRodeFoto& reader) {
  if (reader.nReaderSubType == 0) return ReaderKind::DigiScan;
  reader.Exchange("F");
  const ReaderKind kind = KindFromModelReply(reader.szLine);
  reader.ShowStatus(TraitsOf(kind).name);
  return kind;
}
