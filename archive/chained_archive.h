// The archive's rules over any SqlConnection: the schema and its version,
// append-only entries in one SHA-256 chain, finding and verifying.
#pragma once

#include <map>
#include <memory>

#include "archive/archive.h"
#include "archive/sql_connection.h"

namespace archive {

// The SQL that differs between the databases.
struct SqlDialect {
  // The steps from version n to n + 1, first = an empty database to 1.
  std::vector<std::string> migrations;
};

struct StoredEntry {
  int64_t seq = 0;
  std::string uuid;
  std::string content;
};

class ChainedArchive : public Archive {
 public:
  ChainedArchive(std::unique_ptr<SqlConnection> connection, bool readOnly)
      : db_(std::move(connection)), readOnly_(readOnly) {}

  // Creates or migrates the schema; a newer one than kSchemaVersion leaves
  // the archive read-only with *note saying so. False when it cannot be read.
  bool Prepare(const SqlDialect& dialect, std::string* note, std::string* error);
  // Prepare failed read-only on an older schema: opened for writing, it migrates.
  bool OlderSchema() const { return olderSchema_; }
  // Prepare failed read-only on a database without the archive's schema.
  bool NoSchema() const { return noSchema_; }

  bool AppendRead(const PlateRead& read, std::string* error) override;
  bool AppendAudit(const AuditEntry& entry, std::string* error) override;
  bool FindReads(const ReadQuery& query, std::vector<PlateRead>* reads,
                 std::string* error) override;
  bool ListReads(const ReadQuery& query, bool withContent, std::vector<ReadSummary>* reads,
                 std::string* error) override;
  bool EachRead(const ReadQuery& query, bool withContent,
                const std::function<void(const ReadSummary&)>& each, std::string* error) override;
  bool GetRead(const std::string& uuid, PlateRead* read, std::string* error) override;
  bool GetRun(const std::string& uuid, RunRecord* run, std::string* error) override;
  bool AuditTrail(const std::string& readUuid, std::vector<AuditEntry>* entries,
                  std::string* error) override;
  VerifyReport Verify() override;
  bool ReadOnly() const override { return readOnly_; }

  // The assays' names the reads carry, sorted, without the empty one.
  bool AssayNames(std::vector<std::string>* names, std::string* error);

  // Appends stored content as it is (a spooled or forwarded entry).
  bool AppendContent(const std::string& content, std::string* error);
  // Entries not yet in the lab archive, oldest first, and marking them sent.
  bool Unforwarded(size_t limit, std::vector<StoredEntry>* entries, std::string* error);
  bool CountUnforwarded(int64_t* count, std::string* error);
  bool MarkForwarded(const std::string& uuid, std::string* error);
  // Why the last failed call failed.
  SqlFailure LastFailure() const { return db_->Failure(); }
  SqlConnection& Connection() { return *db_; }

  // The name its witness is kept under (witness.h); Verify compares the
  // head with it, and RecordHead moves it on. Empty: no witness.
  void SetIdentity(std::string identity) { identity_ = std::move(identity); }
  const std::string& Identity() const { return identity_; }
  std::string Name() const override { return identity_; }
  // Run first by Verify: the database's own check of its file ("ok" when sound).
  void SetIntegrityCheck(std::string sql) { integrityCheck_ = std::move(sql); }
  const std::string& IntegrityCheck() const { return integrityCheck_; }
  // The connection handed to a wrapper (continued_archive.h); this one is done.
  std::unique_ptr<SqlConnection> ReleaseConnection() { return std::move(db_); }
  bool Head(int64_t* seq, std::string* hash, std::string* error);
  // After a store: the head into the witness. A failure is only said.
  bool RecordHead(std::string* error);
  // Which of these entries' UUIDs the archive holds.
  bool HeldUuids(const std::vector<std::string>& uuids, std::vector<std::string>* held,
                 std::string* error);
  // The UUIDs marked sent to the lab archive, in slices after `after`.
  bool ForwardedUuids(const std::string& after, size_t limit, std::vector<std::string>* uuids,
                      std::string* error);

 private:
  struct LaterId {
    std::string plateId;
    int64_t seq = 0;
    std::string auditUuid;
  };
  // plate_ids against the plate IDs the audit trail entered.
  VerifyReport CheckLaterIds(const std::map<std::string, LaterId>& expected, VerifyReport report);
  // The file's own check and the head against the witness; false with the problem in report.
  bool CheckFile(VerifyReport& report);
  bool CheckWitness(VerifyReport& report);
  // Entries whose client's clock was off the server's (server_clock.cpp).
  VerifyReport CheckServerClock(VerifyReport report);
  bool Failed(std::string* error);
  bool SelectReads(const std::string& columns, const ReadQuery& query, std::vector<SqlRow>* rows,
                   std::string* error);
  std::unique_ptr<SqlConnection> db_;
  bool readOnly_;
  bool olderSchema_ = false;
  bool noSchema_ = false;
  std::string identity_;
  std::string integrityCheck_;
};

// The entries table and its indexes, the same in every database but for
// the type of the sequence number.
std::string EntryTablesSql(const char* seqType);

// An entry's hash: over the one before it and its content.
std::string ChainHash(const std::string& previous, const std::string& content);
// A number column's text as a number; 0 for none.
int64_t ChainNumber(const std::string& text);

// Now by this computer's clock, in UTC to the millisecond, as client_at takes it.
std::string ClientClock();

// The chain's start: the hash before the first entry.
inline const std::string kChainStart(64, '0');

}  // namespace archive
