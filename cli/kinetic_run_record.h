// A kinetic series on the command line as one archive record: each read is
// stored as it completes (by the caller), and the run's record names them
// with their times, the assay and the series' analysis once the run ends.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "analysis/kinetics.h"
#include "archive/run_record.h"
#include "cli/cli_options.h"

class KineticRunRecorder {
 public:
  explicit KineticRunRecorder(const CliOptions& options);

  // A read stored in the archive (or its spool), seconds after the first started.
  void Add(const archive::PlateRead& read, double elapsedSeconds);
  // Stores the run's record: status from the exit code (aborted, failed or
  // completed), with the message of the read that ended it. Warnings to err.
  // True when the record was kept (stored or spooled).
  bool Finish(int exitCode, const std::string& message,
              const std::vector<analysis::KineticRead>& series, std::ostream& err);
  const std::string& Uuid() const { return run_.uuid; }
  // The archive the record went to (its Name()); empty until stored.
  const std::string& Archive() const { return archive_; }

 private:
  const CliOptions& options_;
  archive::RunRecord run_;
  std::string archive_;
};
