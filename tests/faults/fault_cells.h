// The fault matrix: which operation, on which reader, meets which fault, and
// what the operator must then see. One row per cell; fault_cells.cpp builds
// the table, test_fault_matrix.cpp runs each row against its own simulator.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "sim/reader_simulator.h"

namespace faults {

enum class Operation { Measure, MeasureWithReference, ReadFilters, Calibrate, PlateIn, PlateOut };

enum class LineFault {
  None,                  // the operation runs clean (the reference cells)
  NakOnce,               // the first command after the opening is refused once
  NakTwice,              // ... and its one resend too
  BadCheckOnce,          // the first reply's check byte is spoilt once
  BadCheckTwice,         // ... and its repetition too
  StrayBytes,            // noise before the first reply
  TooManyStrayBytes,     // 64 bytes of noise: no frame to be found
  NoReader,              // nothing on the line at all (reader switched off)
  SilentBeforeAck,       // the first command is never acknowledged
  SilentMidReply,        // the first reply stops halfway
  SilentWhileMeasuring,  // the first status query of the measurement is never answered
  SilentBeforeBlock,     // the data transfer stops before one block
  HangUpMidTransfer,     // the line drops in the middle of the data transfer
  ReaderError,           // the reader reports error 7 at its next status
  SyntaxError,           // the reader reports a syntax error at its next status
  ShortBlock,            // a data block one character short
  LongBlock,             // a data block one character long
  BlockOutOfSequence,    // a DigiScan block with the wrong number
  BlankField,            // a data block with a value field of blanks
  StuckBusy,             // the reader never stops being busy; the operator aborts
  StuckInError,          // the reader reports an error for ever; the operator aborts
  ErrorBeforeStart,      // error 7 while the measurement waits for an idle reader
};

struct Cell {
  Operation operation;
  sim::Family family;
  LineFault fault;
  int completion;           // the command the dialog must receive
  std::string status;       // the last status text; "Timeout (" matches any time-out
  bool systemText = false;  // the status is the system's text for a failed port
  double withinSeconds;     // the operation must have ended by then
  bool eotExpected = true;  // the reader sees the conversation end
};

std::vector<Cell> AllCells();

inline bool IsMeasure(Operation operation) {
  return operation == Operation::Measure || operation == Operation::MeasureWithReference;
}

std::string OperationName(Operation operation);
std::string FamilyName(sim::Family family);
std::string FaultName(LineFault fault);
std::string CellName(const Cell& cell);  // "Measure_DigiScan_NakTwice"

// GoogleTest names a failing cell by this rather than by its bytes.
void PrintTo(const Cell& cell, std::ostream* out);

}  // namespace faults
