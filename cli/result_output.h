// Where the reads of one measure command go: stdout, read by read as they
// complete, or a file that is replaced after every read, so a series that
// is aborted or fails half-way still leaves every completed read behind in
// a file that parses.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "results/result_file.h"

// One read in the chosen format. TSV is the clipboard text of the plate.
std::string FormatRead(const TPlateResult& plate, const ResultContext& context,
                       const CliOptions& options);

class ResultOutput {
 public:
  ResultOutput(const CliOptions& options, std::ostream& out);

  // Adds one read (from FormatRead). False with the system's text when the
  // file cannot be written; the read is then printed on stdout instead, so
  // it is not lost.
  bool Add(const std::string& read, std::string* error);

  // Ends the output (the closing bracket of a JSON series on stdout).
  void Finish();

  // The whole output as it stands: what the file holds.
  std::string Text() const;

 private:
  std::string Separator() const;

  const CliOptions& options_;
  std::ostream& out_;
  bool series_;
  std::vector<std::string> reads_;
  bool finished_ = false;
};
