// Where the History's reads come from. Without a lab archive: this
// computer's archive. With one: the lab's reads, and before them this
// computer's reads that have not reached it yet, marked; while the lab
// server cannot be reached, this computer's archive with a notice, its
// waiting reads marked.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "archive/archive_store.h"
#include "archive/chained_archive.h"

struct HistorySource {
  std::unique_ptr<archive::ChainedArchive> listed;  // the one paged through; null: none
  std::unique_ptr<archive::ChainedArchive> local;   // this computer's, when a lab one is listed
  bool labSetUp = false;
  // This computer's reads not yet in the lab archive, newest first.
  std::vector<archive::ReadSummary> pending;
  bool pendingListed = false;  // shown as rows of their own (the lab is listed)
  std::set<std::string> pendingUuids;
  std::string notice;  // for the top of the window; empty when all is well

  // The archive that holds this read: this computer's for a pending one.
  archive::ChainedArchive* HolderOf(const std::string& uuid) const;
};

HistorySource OpenHistorySource(const archive::StoreConfig& config);

// The store configuration [Archive] Url= sets up.
archive::StoreConfig ArchiveConfigFromSettings();
// Why [Archive] Url= is refused, for the top of the window; empty when it is not.
std::string SettingsRefusal();

// Whether a pending read passes the query's filters (as the archive's own
// query would find it).
bool MatchesQuery(const archive::ReadSummary& read, const archive::ReadQuery& query);
