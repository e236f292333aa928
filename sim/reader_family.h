// What sets the three reader families apart, in one table: the check byte,
// the status that means "idle / finished", the start command's tail, the
// carrier commands and the layout of the data blocks.
#pragma once

#include "sim/reader_simulator.h"

namespace sim {

struct FamilyTraits {
  const char* name;             // as on the command line
  int checkVariant;             // 0: DigiScan check byte, 1: Jupiter / Expert one
  char idleStatus;              // "Q" status when idle and when a measurement is done
  int upperLimit;               // highest reading the program accepts
  int noValueCode;              // reading sent for a well that cannot be read; 0 = none
  const char* startTail;        // part of "Sf<p>[f<q>]...x3G" that only this family sends
  const char* modelText;        // reply to "F" (the identification is appended)
  const char* transferCommand;  // primary only; DigiScan asks "Ad2" for both passes
  int blocksPerPass;
  int valuesPerBlock;
  int fieldWidth;
  int headerWidth;          // DigiScan numbers its blocks in 3 characters
  const char* plateIn;      // carrier commands
  const char* plateOut[2];  // Jupiter moves out in two steps
};

const FamilyTraits& TraitsOf(Family family);
bool FamilyFromName(const std::string& name, Family* family);

// Well (row-major, 0..95) of value j in data block b.
int WellOfValue(Family family, int block, int value);

// Length of one data block's text.
int BlockLength(Family family);

}  // namespace sim
