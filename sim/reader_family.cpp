#include "sim/reader_family.h"

namespace sim {

namespace {

// A Jupiter / Expert reports '@' only after a filter calibration; see
// reader_model.cpp. The "F" texts tell a Jupiter from an Expert by "FSCH".
const FamilyTraits kDigiScan{"digiscan", 0,  '@', 3200, 0, "",        "F DigiScan 340 SN",
                             "Ad1",      12, 8,   5,    3, "Mm2000G", {"IG", nullptr}};
const FamilyTraits kJupiter{"jupiter", 1, 'D', 4100, 99998, "i4", "FSCH Jupiter 96 SN",
                            "Ax",      2, 48,  5,    0,     "IG", {"Mx1jG", "Mx0m3000G"}};
const FamilyTraits kExpert{"expert", 1, 'D', 4100, 9998, "c0i1",    "FEXP Expert Plus SN",
                           "Ax",     6, 16,  4,    0,    "Mm2000G", {"IG", nullptr}};

}  // namespace

const FamilyTraits& TraitsOf(Family family) {
  switch (family) {
    case Family::Jupiter:
      return kJupiter;
    case Family::Expert:
      return kExpert;
    case Family::DigiScan:
      break;
  }
  return kDigiScan;
}

bool FamilyFromName(const std::string& name, Family* family) {
  for (Family f : {Family::DigiScan, Family::Jupiter, Family::Expert}) {
    if (name == TraitsOf(f).name) {
      *family = f;
      return true;
    }
  }
  return false;
}

int WellOfValue(Family family, int block, int value) {
  switch (family) {
    case Family::DigiScan:  // one plate column per block, rows A to H
      return value * 12 + block % 12;
    case Family::Jupiter:  // six columns per block, column by column
      return (value % 8) * 12 + 6 * (block % 2) + value / 8;
    case Family::Expert:  // two columns per block
      return (value % 8) * 12 + 2 * (block % 6) + value / 8;
  }
  return 0;
}

int BlockLength(Family family) {
  const FamilyTraits& t = TraitsOf(family);
  return t.headerWidth + t.valuesPerBlock * t.fieldWidth;
}

}  // namespace sim
