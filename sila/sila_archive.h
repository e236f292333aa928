// The server's share of the plate archive: every read (completed, aborted or
// failed) is stored before its result is reported, like the other front
// ends; an archive that cannot take it leaves the read in the spool and a
// warning in the server's log, and the result is still reported. The lab
// archive gets it afterwards, on a thread of its own: an execution never
// waits on the lab server.
#pragma once

#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_store.h"
#include "archive/lab_forwarder.h"

// Where reads go: --archive URL, else the settings file's [Archive] Url=,
// else the local SQLite archive; nullopt with --no-archive or [Archive]
// Enabled=0 (an explicit --archive still stores).
std::optional<archive::StoreConfig> SilaArchiveConfig(const std::optional<std::string>& url,
                                                      bool noArchive);

class SilaArchive {
 public:
  // config nullopt: nothing is stored and nothing listed.
  SilaArchive(std::optional<archive::StoreConfig> config, std::ostream& log);

  bool enabled() const { return config_.has_value(); }
  // Stores the read; its UUID once it is in the archive or the spool, empty
  // when archiving is off or the read could be kept nowhere.
  std::string Store(const archive::PlateRead& read);
  // Stores a kinetic run's record (its reads stored before); its UUID as Store.
  std::string StoreRun(const archive::RunRecord& run);
  // Sends what was stored on to the lab archive, if there is one, in the background.
  void ForwardLater();
  // The newest reads first; false with the reason when the archive cannot be read.
  bool Recent(size_t count, std::vector<archive::ReadSummary>* reads, std::string* error);

 private:
  // The outcome's messages and warning to the log; true when the entry is kept.
  bool Logged(const archive::StoreOutcome& outcome);
  std::optional<archive::StoreConfig> config_;
  std::ostream& log_;
  std::mutex logMutex_;
  archive::LabForwarder forwarder_;  // last: stopped before the log goes
};
