// The three readers the driver serves and what sets them apart. They share
// one command language; where they differ (the start command, the status
// that ends a measurement, the data blocks, the value range, the carrier
// commands) the difference is a row of the table in reader_kind.cpp, so the
// operations read the same for every reader.
#pragma once

#include <cstdint>

class TRodeFoto;

enum class ReaderKind { DigiScan, Jupiter, Expert };

// How the reader sends a plate after the data request: one reply frame per
// block, the primary pass first, then (with a reference filter) the same
// wells again for the reference pass.
//
//   DigiScan  | nnn | v0 (5) | v1 (5) | ... | v7 (5) |   43 chars, one column
//   Jupiter   | v0 (5) | ... | v47 (5) |                240 chars, six columns
//   Expert    | v0 (4) | ... | v15 (4) |                 64 chars, two columns
//
// Within a block the values run down the columns: value j is row j mod 8 of
// the block's (j div 8)-th column. DigiScan numbers its blocks 1..12 in the
// primary pass and 101..112 in the reference pass.
struct BlockLayout {
  int blocksPerPass;    // 12, 2, 6
  int blockLength;      // characters of one block's text
  int numberWidth;      // width of the leading block number, 0 = none
  int valuesPerBlock;   // 8, 48, 16
  int fieldWidth;       // characters per value, right-aligned
  int columnsPerBlock;  // 1, 6, 2
};

// The carrier commands of one direction. After each step the reader is left
// to finish (polled until idle) before the next one is sent.
struct CarrierMove {
  const char* steps[2];  // the second is null for a one-step move
};

struct ReaderTraits {
  ReaderKind kind;
  const char* name;            // shown once the model is known; null for DigiScan
  const char* startSuffix;     // appended to the start command before "x3G"
  char finishedStatus;         // status character that ends a measurement
  bool loadsPlate;             // asks the operator to insert the plate
  int upperLimit;              // highest reading in range
  int noValueCode;             // the reading that means "no value"; 0 = none
  const char* dataRequest[2];  // without / with a reference filter
  BlockLayout blocks;
  CarrierMove plateIn;
  CarrierMove plateOut;
};

const ReaderTraits& TraitsOf(ReaderKind kind);

// The model reply names a Jupiter when it starts with exactly "FSCH".
ReaderKind KindFromModelReply(const char* reply);

// Tells the readers apart: a DigiScan (reader family 0) is not asked; the
// other family is asked its model with "F" and the status line names it.
ReaderKind IdentifyReader(TRodeFoto& reader);
