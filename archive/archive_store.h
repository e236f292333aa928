// What a front end does with a read: store it first, before anyone sees
// it. Locally in SQLite (or, while that cannot be written, in the spool),
// then forwarded to the lab's PostgreSQL archive when one is set up; reads
// wait locally while the lab server is down and follow in order, once each.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive.h"

namespace archive {

struct StoreConfig {
  std::string localPath;  // the SQLite archive; DefaultArchivePath() when empty
  std::string labUrl;     // postgresql://...; empty: local only
  // False: the store only keeps the read locally, and the front end
  // forwards after the result is shown (ForwardToLab, LabForwarder).
  bool forwardNow = true;
};

struct StoreOutcome {
  bool stored = false;   // in the local archive (and so safe)
  bool spooled = false;  // kept in the spool for the next chance
  std::string spoolPath;
  std::string archive;                // the Name() of the archive it is stored in
  std::vector<std::string> messages;  // damaged file, newer schema, lab server down
  std::string warning;                // the one warning when the read is not in the archive
};

StoreOutcome StoreRead(const StoreConfig& config, const PlateRead& read);
StoreOutcome StoreAudit(const StoreConfig& config, const AuditEntry& entry);
// A kinetic run's record, once its reads are stored (StoreRead each).
StoreOutcome StoreRun(const StoreConfig& config, const RunRecord& run);

struct ForwardOutcome {
  bool ok = false;
  int64_t sent = 0;     // entries newly in the lab archive
  int64_t pending = 0;  // still waiting
  std::string error;
};

// Pushes the local entries the lab archive does not have yet, oldest first.
ForwardOutcome ForwardToLab(const StoreConfig& config);
// What a front end says when the lab did not take everything; empty when it did.
std::string LabWaitMessage(const ForwardOutcome& outcome);

// The archive to read from: the lab's when a URL is set, else the local one.
// Never creates or migrates a schema. *labUnreachable: the lab server did
// not answer (then this computer's archive may be shown instead).
std::unique_ptr<Archive> OpenArchiveForReading(const StoreConfig& config,
                                               std::vector<std::string>* messages,
                                               std::string* error, bool* labUnreachable = nullptr);

// The Name() of the archive OpenArchiveForReading opens: the lab's, or the
// local file's last continuation.
std::string ReadingArchiveName(const StoreConfig& config);

}  // namespace archive
