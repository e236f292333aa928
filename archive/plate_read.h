// What the archive keeps: one record per read (completed, aborted or
// failed) and, for every later change, an audit entry that refers to it.
// Each is stored as canonical JSON text; the hash chain runs over that text.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "results/shared_state.h"

namespace archive {

enum class ReadStatus { Completed, Aborted, Failed };

const char* StatusName(ReadStatus status);  // "completed", "aborted", "failed"

struct PlateRead {
  std::string uuid;
  std::string plateId;
  std::string operatorName;  // the login name
  std::string host;
  std::string readerFamily;  // "DigiScan", "Jupiter", "Expert"
  std::string readerId;      // the reader's identification number
  std::string readerDevice;  // the serial device
  int32_t primaryNm = 0;
  int32_t referenceNm = 0;  // 0 = none
  std::string started;      // ISO 8601 with offset; empty when not known
  std::string completed;
  std::string programVersion;
  std::array<int32_t, kWells> values{};  // thousandths, A1..H12; kNoValue = no value
  // 1 where the reader read above its range (values holds kNoValue there).
  std::array<uint8_t, kWells> overRange{};
  ReadStatus status = ReadStatus::Completed;
  std::string message;  // the driver's text for an aborted or failed read
  // The assay and its analysis are kept whole, as the JSON their own code
  // writes; the archive only reads the assay's name and verdict to find them.
  std::string assayName;
  std::string assayJson;
  std::string analysisJson;
  std::string verdict;
  std::string trace;  // the line trace, when tracing was on
};

// A later change to a read: who, when, what and why, with what changed.
struct AuditEntry {
  std::string uuid;
  std::string readUuid;
  std::string who;
  std::string when;  // ISO 8601 with offset
  std::string what;  // e.g. "plate ID", "well excluded", "re-analysis", "comment"
  std::string why;
  std::string detail;  // the new value or the change itself, free text or JSON
};

// Canonical JSON (sorted keys, no spaces): the stored content of an entry.
std::string ReadContent(const PlateRead& read);
std::string AuditContent(const AuditEntry& entry);
// Back from stored content; false for text that is not such an entry.
bool ParseRead(const std::string& content, PlateRead* read);
bool ParseAudit(const std::string& content, AuditEntry* entry);

// The SHA-256 of a read's stored content, in hex: what a report prints, the
// same in the local archive, the lab's and the spool.
std::string ContentHash(const PlateRead& read);

// The columns the archive finds entries by, taken from the content alone,
// so that verify can check them against it.
struct EntryKeys {
  std::string kind;  // "read", "audit" or "run"
  std::string uuid;
  std::string readUuid;  // the read itself for a read
  std::string atUtc;     // completion (else start) of a read, time of an audit, UTC
  std::string plateId;
  std::string assay;
  std::string status;
  std::string operatorName;
  std::string verdict;
  std::string reader;  // ReaderKey(): family and identification number
  bool operator==(const EntryKeys&) const = default;
};
bool KeysOfContent(const std::string& content, EntryKeys* keys);
// "DigiScan 12345": both joined by a space, trimmed of spaces at either end
// (as the schema's migration computes it in SQL).
std::string ReaderKey(const std::string& family, const std::string& id);

// "2026-12-07T16:20:05+01:00" -> "2026-12-07T15:20:05Z"; a bare date or
// date and time is taken as UTC. Empty for text that is no such time.
std::string UtcKey(const std::string& isoTime);

// A random (version 4) UUID, lower case.
std::string NewUuid();
// The login name and the host name of this process.
std::string LoginName();
std::string HostName();

}  // namespace archive
