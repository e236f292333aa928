// A plate result as a file for other programs: CSV for spreadsheets and
// LIMS imports, JSON for scripts. Both carry what a lab needs to trace the
// read (which reader, which filters, when) next to the 96 values.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "results/atomic_file.h"
#include "results/shared_state.h"
#include "results/well_names.h"  // PlateWellName(), which the notes' users need

enum class ResultFormat { Tsv, Csv, Json };

// A well left out of the analysis after the read: which, why, by whom, when.
struct ExcludedWellNote {
  int well = 0;  // 0..95, A1..H12
  std::string reason;
  std::string who;
  std::string when;  // ISO 8601 with offset
};

// What a stored read's files say of it beyond the plate: written only when
// set, so that a plain plate's files stay as they were.
struct ReadRecordNotes {
  std::string plateId;
  std::string status;  // "aborted" or "failed"; empty for a completed read
  std::string statusMessage;
  std::vector<ExcludedWellNote> excluded;
};

// What the plate record does not hold itself. The filters come from the
// record; the completion time falls back to its ftMeasured.
struct ResultContext {
  std::string readerKind;  // "DigiScan", "Jupiter", "Expert"; empty when not known
  std::string readerId;    // the five-digit identification number; empty when not known
  std::optional<std::chrono::system_clock::time_point> started;
  std::optional<std::chrono::system_clock::time_point> completed;
  ReadRecordNotes record{};
  // Reads of a kinetic series: seconds from the series' first start on a
  // monotonic clock; their times then carry milliseconds.
  std::optional<double> elapsedSeconds{};
};

// Local time with its offset from UTC, e.g. 2026-12-07T16:20:05+01:00
// (2026-12-07T16:20:05.250+01:00 with milliseconds).
std::string FormatIsoLocalTime(std::chrono::system_clock::time_point when,
                               bool milliseconds = false);

// A record's local file time (ftMeasured, ftStarted) as an instant; none for 0.
std::optional<std::chrono::system_clock::time_point> InstantOfFileTime(uint64_t fileTime);

// When the read completed: the context's time, else the record's ftMeasured.
std::optional<std::chrono::system_clock::time_point> ReadCompletionTime(
    const TPlateResult& plate, const ResultContext& context);

// The metadata block, a blank line, then the grid ",1,...,12" / "A,..." in
// the number form. A decimal comma turns the field separator into ';' so
// that spreadsheets in comma locales split the fields. A well without a
// value is an empty field. withMetadata false leaves only the grid.
std::string BuildResultCsv(const TPlateResult& plate, const ResultContext& context,
                           bool decimalComma, bool withMetadata = true);

// One JSON object: the metadata and "values", 8 arrays of 12 integers in
// thousandths, null for a well without a value. A read of a series adds
// "elapsedSeconds".
std::string BuildResultJson(const TPlateResult& plate, const ResultContext& context);

// CSV unless the name ends in ".json" (any case).
ResultFormat ResultFormatForPath(const std::string& path);

// Writes the plate as CSV or JSON, chosen by the file name, replacing the
// file only as a whole (atomic_file.h); false with the system's text.
bool SaveResultFile(const std::string& path, const TPlateResult& plate,
                    const ResultContext& context, bool decimalComma, std::string* error);
