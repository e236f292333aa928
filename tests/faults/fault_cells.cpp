// The rows of the fault matrix. Faults of the line and the opening exchanges
// meet every operation on every reader: they strike before any operation's
// own work, so a measurement ends in a second or two. Faults of the
// measurement and the data transfer need a whole measurement (4 s before the
// first status query), so each meets each reader once, with and without a
// reference filter in turn.
#include "tests/faults/fault_cells.h"

#include "driver/foto.h"

namespace faults {
namespace {

using sim::Family;

constexpr Operation kOperations[] = {Operation::Measure,     Operation::MeasureWithReference,
                                     Operation::ReadFilters, Operation::Calibrate,
                                     Operation::PlateIn,     Operation::PlateOut};
constexpr Family kFamilies[] = {Family::DigiScan, Family::Jupiter, Family::Expert};

// Bounds on how long a cell may take, generous for sanitizer builds and a
// loaded machine: the opening exchanges, one byte time-out of the link, and
// a measurement up to its data (the 4 s wait and a poll or two).
constexpr double kOpening = 1.5;
constexpr double kByteTimeout = 1.6;
constexpr double kMeasurement = 4.0 + 2 * 0.7 + 1.5;
constexpr double kMargin = 5.0;

int SuccessId(Operation operation) {
  switch (operation) {
    case Operation::Measure:
    case Operation::MeasureWithReference:
      return kMeasureDone;
    case Operation::ReadFilters:
      return kFiltersDone;
    case Operation::Calibrate:
      return kCalibrateDone;
    case Operation::PlateIn:
    case Operation::PlateOut:
      break;
  }
  return kPlateMoved;
}

// The last status text of a clean run with the simulator's default filters.
std::string SuccessStatus(Operation operation) {
  switch (operation) {
    case Operation::Measure:
    case Operation::MeasureWithReference:
      return "success";
    case Operation::ReadFilters:
      return "405 450 492 540 620 690";
    case Operation::Calibrate:
      return "calibrated.";
    case Operation::PlateIn:
    case Operation::PlateOut:
      break;
  }
  return "";
}

double CleanRun(Operation operation) {
  return kOpening + (IsMeasure(operation) ? kMeasurement : 1.0) + kMargin;
}

// Alternates between measuring with and without a reference, per reader.
Operation MeasureFor(Family family, bool second = false) {
  const bool withReference = (family == Family::Jupiter) != second;
  return withReference ? Operation::MeasureWithReference : Operation::Measure;
}

}  // namespace

std::vector<Cell> AllCells() {
  std::vector<Cell> cells;
  const auto add = [&cells](Operation o, Family f, LineFault fault, int completion,
                            std::string status, double within) {
    cells.push_back(Cell{o, f, fault, completion, std::move(status), false, within, true});
    return &cells.back();
  };
  const double opening = kOpening + kMargin;
  const double timedOut = kOpening + kByteTimeout + kMargin;

  for (Operation o : kOperations) {
    for (Family f : kFamilies) {
      // The line and the opening exchanges: every operation, every reader.
      add(o, f, LineFault::NakTwice, kOperationFailed, "Command not ackowledged.", opening);
      add(o, f, LineFault::BadCheckTwice, kOperationFailed, "Garbled data", opening);
      add(o, f, LineFault::TooManyStrayBytes, kOperationFailed, "Garbled data", opening);
      add(o, f, LineFault::SilentBeforeAck, kReaderTimeout, "Timeout (", timedOut);
      add(o, f, LineFault::SilentMidReply, kReaderTimeout, "Timeout (", timedOut);
      add(o, f, LineFault::NoReader, kReaderTimeout, "Timeout (", timedOut)->eotExpected = false;
      // A reader that stays busy: every operation that waits for it ends
      // only when the operator aborts; filter discovery never waits.
      if (o == Operation::ReadFilters) {
        add(o, f, LineFault::StuckBusy, SuccessId(o), SuccessStatus(o), CleanRun(o));
      } else {
        add(o, f, LineFault::StuckBusy, kUserAborted, "User aborted.", opening + 2.0);
      }
      if (IsMeasure(o)) continue;
      // Faults the link recovers from, and the clean run beside them.
      add(o, f, LineFault::None, SuccessId(o), SuccessStatus(o), CleanRun(o));
      add(o, f, LineFault::NakOnce, SuccessId(o), SuccessStatus(o), CleanRun(o));
      add(o, f, LineFault::BadCheckOnce, SuccessId(o), SuccessStatus(o), CleanRun(o));
      add(o, f, LineFault::StrayBytes, SuccessId(o), SuccessStatus(o), CleanRun(o));
    }
  }

  for (Family f : kFamilies) {
    // The carrier commands ignore the reader's error bits: only the operator
    // ends the wait.
    add(Operation::PlateIn, f, LineFault::StuckInError, kUserAborted, "User aborted.",
        opening + 2.0);
    add(Operation::PlateOut, f, LineFault::StuckInError, kUserAborted, "User aborted.",
        opening + 2.0);
    add(Operation::Calibrate, f, LineFault::ReaderError, kOperationFailed, "System (7)",
        CleanRun(Operation::Calibrate));
    add(Operation::Calibrate, f, LineFault::SyntaxError, kOperationFailed, "Syntax error.",
        CleanRun(Operation::Calibrate));

    // The measurement itself: the status queries and the data transfer.
    const double measured = kOpening + kMeasurement + kMargin;
    add(MeasureFor(f), f, LineFault::NakOnce, kMeasureDone, "success", measured);
    add(MeasureFor(f, true), f, LineFault::BadCheckOnce, kMeasureDone, "success", measured);
    add(MeasureFor(f), f, LineFault::StrayBytes, kMeasureDone, "success", measured);
    add(MeasureFor(f), f, LineFault::ReaderError, kOperationFailed, "Reader error 7.", measured);
    // Before the start command: the error is reported, not waited out.
    add(MeasureFor(f, true), f, LineFault::ErrorBeforeStart, kOperationFailed, "Reader error 7.",
        opening);
    add(MeasureFor(f, true), f, LineFault::SyntaxError, kOperationFailed, "Command syntax error.",
        measured);
    add(MeasureFor(f), f, LineFault::SilentWhileMeasuring, kReaderTimeout, "Timeout (",
        measured + kByteTimeout);
    add(MeasureFor(f, true), f, LineFault::SilentBeforeBlock, kReaderTimeout, "Timeout (",
        measured + kByteTimeout);
    Cell* hangUp =
        add(MeasureFor(f), f, LineFault::HangUpMidTransfer, kOperationFailed, "", measured);
    hangUp->systemText = true;
    hangUp->eotExpected = false;  // the EOT goes out on a dead line
    add(MeasureFor(f), f, LineFault::ShortBlock, kOperationFailed, "Data garbled.", measured);
    add(MeasureFor(f, true), f, LineFault::BlankField, kOperationFailed, "Data garbled.", measured);
  }
  add(Operation::Measure, Family::Expert, LineFault::LongBlock, kOperationFailed, "Data garbled.",
      kOpening + kMeasurement + kMargin);
  for (Operation o : {Operation::Measure, Operation::MeasureWithReference}) {
    add(o, Family::DigiScan, LineFault::BlockOutOfSequence, kOperationFailed, "Data garbled.",
        kOpening + kMeasurement + kMargin);
  }
  return cells;
}

std::string OperationName(Operation operation) {
  switch (operation) {
    case Operation::Measure:
      return "Measure";
    case Operation::MeasureWithReference:
      return "MeasureWithReference";
    case Operation::ReadFilters:
      return "ReadFilters";
    case Operation::Calibrate:
      return "Calibrate";
    case Operation::PlateIn:
      return "PlateIn";
    case Operation::PlateOut:
      break;
  }
  return "PlateOut";
}

std::string FamilyName(Family family) {
  switch (family) {
    case Family::DigiScan:
      return "DigiScan";
    case Family::Jupiter:
      return "Jupiter";
    case Family::Expert:
      break;
  }
  return "Expert";
}

std::string FaultName(LineFault fault) {
  static const char* const kNames[] = {"None",
                                       "NakOnce",
                                       "NakTwice",
                                       "BadCheckOnce",
                                       "BadCheckTwice",
                                       "StrayBytes",
                                       "TooManyStrayBytes",
                                       "NoReader",
                                       "SilentBeforeAck",
                                       "SilentMidReply",
                                       "SilentWhileMeasuring",
                                       "SilentBeforeBlock",
                                       "HangUpMidTransfer",
                                       "ReaderError",
                                       "SyntaxError",
                                       "ShortBlock",
                                       "LongBlock",
                                       "BlockOutOfSequence",
                                       "BlankField",
                                       "StuckBusy",
                                       "StuckInError",
                                       "ErrorBeforeStart"};
  return kNames[static_cast<int>(fault)];
}

std::string CellName(const Cell& cell) {
  return OperationName(cell.operation) + "_" + FamilyName(cell.family) + "_" +
         FaultName(cell.fault);
}

void PrintTo(const Cell& cell, std::ostream* out) {
  *out << CellName(cell);
}

}  // namespace faults
