// Verify: the chain entry by entry, each entry's columns against its
// content, and the plate IDs kept beside the chain against the audit trail.
#include <map>

#include "archive/chained_archive.h"
#include "archive/witness.h"

namespace archive {

namespace {

constexpr char kEntryColumns[] =
    "seq, uuid, kind, read_uuid, at_utc, plate_id, assay, status, operator, content, prev_hash, "
    "hash, verdict, reader";

}  // namespace

bool ChainedArchive::CheckFile(VerifyReport& report) {
  if (integrityCheck_.empty()) return true;
  std::vector<SqlRow> rows;
  if (db_->Exec(integrityCheck_, {}, &rows) && rows.size() == 1 && rows[0][0] == "ok") return true;
  report.problem = "the file is damaged (" +
                   (rows.empty()      ? db_->Error()
                    : rows[0].empty() ? ""
                                      : rows[0][0]) +
                   ")";
  return false;
}

VerifyReport ChainedArchive::Verify() {
  VerifyReport report;
  if (!CheckFile(report)) return report;
  // Entries numbered below the chain's start are outside the walk below:
  // none is ever stored, so one there was put there behind the program's back.
  std::vector<SqlRow> forged;
  if (!db_->Exec("SELECT seq, uuid FROM entries WHERE seq < 1 ORDER BY seq LIMIT 1", {}, &forged)) {
    report.problem = db_->Error();
    return report;
  }
  if (!forged.empty()) {
    report.firstBadSeq = ChainNumber(forged[0][0]);
    report.firstBadUuid = forged[0][1];
    report.problem = "its sequence number is below 1, outside the chain";
    return report;
  }
  ChainHead witness;
  if (!identity_.empty() && ReadWitness(identity_, &witness, &report.witnessSpoiled)) {
    report.witnessSeq = witness.seq;
    report.witnessPath = WitnessPath(identity_);
  } else if (report.witnessSpoiled) {
    report.witnessPath = WitnessPath(identity_);
  }
  std::string previous = kChainStart;
  int64_t expectedSeq = 1;
  // What plate_ids must hold: each read's last "plate ID" entry.
  std::map<std::string, LaterId> laterIds;
  // In slices, so that 100 000 entries never sit in memory at once.
  constexpr int kSlice = 2000;
  for (;;) {
    std::vector<SqlRow> rows;
    if (!db_->Exec(std::string("SELECT ") + kEntryColumns +
                       " FROM entries WHERE seq >= $1 ORDER BY seq LIMIT " + std::to_string(kSlice),
                   {std::to_string(expectedSeq)}, &rows)) {
      report.problem = db_->Error();
      return report;
    }
    for (const SqlRow& row : rows) {
      const int64_t seq = ChainNumber(row[0]);
      const auto bad = [&](const std::string& problem) {
        report.firstBadSeq = seq;
        report.firstBadUuid = row[1];
        report.problem = problem;
        return report;
      };
      if (seq != expectedSeq) {
        report.firstBadSeq = expectedSeq;
        report.problem = "entry " + std::to_string(expectedSeq) + " is missing";
        return report;
      }
      if (row[10] != previous) return bad("its previous hash does not match the entry before");
      if (row[11] != ChainHash(previous, row[9])) return bad("its content does not match its hash");
      if (seq == witness.seq && row[11] != witness.hash)
        return bad("it is not the entry last seen there (" + report.witnessPath + ")");
      EntryKeys keys;
      const EntryKeys stored{row[2], row[1], row[3], row[4],  row[5],
                             row[6], row[7], row[8], row[12], row[13]};
      if (!KeysOfContent(row[9], &keys) || !(keys == stored)) {
        return bad("its columns do not match its content");
      }
      AuditEntry audit;
      if (keys.kind == "audit" && ParseAudit(row[9], &audit) && audit.what == "plate ID") {
        laterIds[audit.readUuid] = {audit.detail, seq, row[1]};
      }
      previous = row[11];
      ++expectedSeq;
      ++report.entries;
    }
    if (rows.size() < static_cast<size_t>(kSlice)) break;
  }
  report.lastSeq = expectedSeq - 1;
  report.lastHash = report.lastSeq > 0 ? previous : "";
  if (witness.seq > report.lastSeq) {
    const int64_t removed = witness.seq - report.lastSeq;
    report.problem = "the chain ends at " + std::to_string(report.lastSeq) + ", last seen " +
                     std::to_string(witness.seq) + ": " + std::to_string(removed) + " entr" +
                     (removed == 1 ? "y" : "ies") + " removed";
    return report;
  }
  return CheckServerClock(CheckLaterIds(laterIds, report));
}

VerifyReport ChainedArchive::CheckLaterIds(const std::map<std::string, LaterId>& expected,
                                           VerifyReport report) {
  std::vector<SqlRow> rows;
  if (!db_->Exec("SELECT read_uuid, plate_id, seq FROM plate_ids", {}, &rows)) {
    report.problem = db_->Error();
    return report;
  }
  std::map<std::string, const SqlRow*> kept;
  for (const SqlRow& row : rows) kept[row[0]] = &row;
  for (const auto& [readUuid, later] : expected) {
    const auto found = kept.find(readUuid);
    if (found == kept.end() || (*found->second)[1] != later.plateId ||
        ChainNumber((*found->second)[2]) != later.seq) {
      report.firstBadSeq = later.seq;
      report.firstBadUuid = later.auditUuid;
      report.problem = found == kept.end()
                           ? "the plate ID it entered is missing from the list's plate IDs"
                           : "the list's plate ID of its read is not the one it entered";
      return report;
    }
    kept.erase(found);
  }
  if (!kept.empty()) {
    const SqlRow& row = *kept.begin()->second;
    report.firstBadSeq = ChainNumber(row[2]);
    report.firstBadUuid = row[0];
    report.problem = "the list's plate IDs hold one for a read no entry entered it for";
    return report;
  }
  report.ok = true;
  return report;
}

}  // namespace archive
