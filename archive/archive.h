// The plate archive as the front ends see it: append a read or an audit
// entry, find reads, get one by UUID, verify the hash chain. Implemented
// over SQLite (sqlite_archive.h) and PostgreSQL (postgres_archive.h) with
// the same schema and rules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/plate_read.h"
#include "archive/run_record.h"

namespace archive {

// Empty fields do not filter. Newest first; limit 0 = all.
struct ReadQuery {
  std::string since;  // ISO date or time; reads completed at or after it
  std::string until;  // ISO date or time; reads completed before it
  std::string assay;
  std::string plateId;
  size_t offset = 0;
  size_t limit = 0;
  // Only reads after this one in the list's order (its time and sequence
  // number): the next page without counting through the ones before.
  std::string afterAtUtc;
  int64_t afterSeq = 0;
  // Part of the plate ID, assay or operator (any case), or the UUID's start.
  std::string text;
  // "Pass", "Fail", or "" for reads without one; none: any.
  std::optional<std::string> verdict;
};

// A read as lists show it: the columns it is found by, and its stored
// content (canonical JSON) when asked for, never parsed on the way.
struct ReadSummary {
  int64_t seq = 0;
  std::string uuid;
  std::string atUtc;  // completion, else start, in UTC
  std::string plateId;
  std::string assay;
  std::string status;
  std::string operatorName;
  std::string content;
  std::string verdict;  // "Pass", "Fail", empty without an assay
  std::string reader;   // family and identification number, e.g. "DigiScan 12345"
};

struct VerifyReport {
  bool ok = false;
  int64_t entries = 0;      // entries checked
  int64_t firstBadSeq = 0;  // the first entry that does not match, 0 = none
  std::string firstBadUuid;
  std::string problem;  // what did not match, or why nothing could be checked
  int64_t lastSeq = 0;  // the chain's head as found
  std::string lastHash;
  int64_t witnessSeq = 0;  // the head last seen after a store, 0 = none kept
  std::string witnessPath;
  bool witnessSpoiled = false;  // a witness file with nothing sound in it
};

class Archive {
 public:
  virtual ~Archive() = default;
  // Stores the entry once: one whose UUID is already there is not stored again.
  virtual bool AppendRead(const PlateRead& read, std::string* error) = 0;
  virtual bool AppendAudit(const AuditEntry& entry, std::string* error) = 0;
  virtual bool FindReads(const ReadQuery& query, std::vector<PlateRead>* reads,
                         std::string* error) = 0;
  // The same reads without parsing them: for long lists and pages.
  virtual bool ListReads(const ReadQuery& query, bool withContent, std::vector<ReadSummary>* reads,
                         std::string* error) = 0;
  // The same one at a time, none kept (the summary lives only during the
  // call): output longer than memory. Streamed where the database can.
  virtual bool EachRead(const ReadQuery& query, bool withContent,
                        const std::function<void(const ReadSummary&)>& each, std::string* error) {
    std::vector<ReadSummary> reads;
    if (!ListReads(query, withContent, &reads, error)) return false;
    for (const ReadSummary& read : reads) each(read);
    return true;
  }
  // False with an empty error when there is no such read.
  virtual bool GetRead(const std::string& uuid, PlateRead* read, std::string* error) = 0;
  // A kinetic run's record; false with an empty error when there is none.
  virtual bool GetRun(const std::string& uuid, RunRecord* run, std::string* error) = 0;
  virtual bool AuditTrail(const std::string& readUuid, std::vector<AuditEntry>* entries,
                          std::string* error) = 0;
  virtual VerifyReport Verify() = 0;
  // The name its chain's witness is kept under (witness.h): the file's
  // absolute path, or the URL without user and password. Empty: none.
  virtual std::string Name() const { return {}; }
  // A newer schema than this program knows: found and shown, never written.
  virtual bool ReadOnly() const = 0;
};

// The schema this program writes; the schema_version table holds the file's.
inline constexpr int kSchemaVersion = 4;

}  // namespace archive
