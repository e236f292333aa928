#include "archive/chained_archive.h"

#include <charconv>

#include "archive/sha256.h"
#include "archive/text_fold.h"

namespace archive {

namespace {

// A plate ID entered after the read stands in plate_ids; the read's own
// column keeps what was stored with it.
constexpr char kSummaryColumns[] =
    "seq, uuid, at_utc, coalesce((SELECT p.plate_id FROM plate_ids p WHERE p.read_uuid = "
    "entries.uuid), entries.plate_id), assay, status, operator, verdict, reader";

// A read's current plate ID compared with $n: the later one where there is
// one, else the read's own.
std::string PlateIdMatches(const std::string& comparison, std::vector<std::string>* params,
                           const std::string& value, const std::string& after = "") {
  params->push_back(value);
  const std::string later = "$" + std::to_string(params->size()) + after;
  params->push_back(value);
  const std::string own = "$" + std::to_string(params->size()) + after;
  return "(uuid IN (SELECT read_uuid FROM plate_ids WHERE " + comparison + later + ") OR (" +
         comparison + own + " AND uuid NOT IN (SELECT read_uuid FROM plate_ids)))";
}

// False for anything but a whole decimal number: a damaged row, not a crash.
bool ParseNumber(const std::string& text, int64_t* number) {
  const char* end = text.data() + text.size();
  const auto [stop, problem] = std::from_chars(text.data(), end, *number);
  return problem == std::errc() && stop == end;
}

// The schema version a database holds: 0 without one, -1 when it is not a number.
int VersionOf(const std::vector<SqlRow>& rows) {
  if (rows.empty() || rows[0][0].empty()) return 0;
  int64_t version = 0;
  return ParseNumber(rows[0][0], &version) && version >= 0 && version < (1 << 30)
             ? static_cast<int>(version)
             : -1;
}

constexpr char kBadVersion[] = "the archive is damaged: its schema version is not a number";

// A LIKE pattern that matches text literally.
std::string LikeLiteral(const std::string& text) {
  std::string escaped;
  for (char c : FoldedCase(text)) {
    if (c == '%' || c == '_' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

// Any case, the same in both databases: both sides folded alike.
void AddTextFilter(const SqlConnection& db, const std::string& text, std::string* sql,
                   std::vector<std::string>* params) {
  const std::string inside = "%" + LikeLiteral(text) + "%";
  *sql += " AND (" +
          PlateIdMatches(db.Lower("plate_id") + " LIKE ", params, inside, " ESCAPE '\\'") + " OR ";
  for (const char* column : {"assay", "operator"}) {
    params->push_back(inside);
    *sql += db.Lower(column) + " LIKE $" + std::to_string(params->size()) + " ESCAPE '\\' OR ";
  }
  params->push_back(LikeLiteral(text) + "%");
  *sql += "lower(uuid) LIKE $" + std::to_string(params->size()) + " ESCAPE '\\')";
}

}  // namespace

std::string ChainHash(const std::string& previous, const std::string& content) {
  return Sha256Hex(previous + '\n' + content);
}

int64_t ChainNumber(const std::string& text) {
  int64_t number = 0;
  return ParseNumber(text, &number) ? number : 0;
}

std::string EntryTablesSql(const char* seqType) {
  return std::string("CREATE TABLE entries (seq ") + seqType + R"sql( PRIMARY KEY,
  uuid TEXT NOT NULL UNIQUE,
  kind TEXT NOT NULL,
  read_uuid TEXT NOT NULL,
  at_utc TEXT NOT NULL,
  plate_id TEXT NOT NULL,
  assay TEXT NOT NULL,
  status TEXT NOT NULL,
  operator TEXT NOT NULL,
  content TEXT NOT NULL,
  prev_hash TEXT NOT NULL,
  hash TEXT NOT NULL);
CREATE INDEX entries_kind_time ON entries (kind, at_utc, seq);
CREATE INDEX entries_plate ON entries (plate_id);
CREATE INDEX entries_assay ON entries (assay);
CREATE INDEX entries_read ON entries (read_uuid);
)sql";
}

bool ChainedArchive::Failed(std::string* error) {
  *error = db_->Error();
  db_->Script("ROLLBACK");
  return false;
}

bool ChainedArchive::Prepare(const SqlDialect& dialect, std::string* note, std::string* error) {
  std::vector<SqlRow> rows;
  const bool versioned = db_->Exec("SELECT max(version) FROM schema_version", {}, &rows);
  const int found = versioned ? VersionOf(rows) : 0;
  if (found < 0) {
    *error = kBadVersion;
    return false;
  }
  if (found > kSchemaVersion) {
    readOnly_ = true;
    *note = "the archive's schema (version " + std::to_string(found) +
            ") is newer than this program knows (" + std::to_string(kSchemaVersion) +
            "): opened read-only, nothing is written to it";
    return true;
  }
  if (found == kSchemaVersion) return true;
  if (readOnly_) {
    olderSchema_ = found > 0;
    noSchema_ = found == 0;
    *error = olderSchema_ ? "the archive's schema (version " + std::to_string(found) +
                                ") must be brought up to date before it is read"
                          : "the archive has no schema this program can read";
    return false;
  }
  if (!db_->Script("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)") ||
      !db_->BeginSchema()) {
    return Failed(error);
  }
  rows.clear();
  // Another program may have migrated it meanwhile.
  if (!db_->Exec("SELECT max(version) FROM schema_version", {}, &rows)) return Failed(error);
  int version = VersionOf(rows);
  if (version < 0 || version > kSchemaVersion) {
    db_->Script("ROLLBACK");
    *error = version < 0 ? kBadVersion : "another program wrote a newer schema meanwhile";
    return false;
  }
  for (; version < kSchemaVersion; ++version) {
    if (!db_->Script(dialect.migrations[version])) return Failed(error);
    if (!db_->Exec("INSERT INTO schema_version (version) VALUES ($1)",
                   {std::to_string(version + 1)}, nullptr)) {
      return Failed(error);
    }
  }
  return db_->Script("COMMIT") || Failed(error);
}

bool ChainedArchive::AppendRead(const PlateRead& read, std::string* error) {
  return AppendContent(ReadContent(read), error);
}

bool ChainedArchive::AppendAudit(const AuditEntry& entry, std::string* error) {
  return AppendContent(AuditContent(entry), error);
}

bool ChainedArchive::AppendContent(const std::string& content, std::string* error) {
  if (readOnly_) {
    *error = "the archive is read-only";
    return false;
  }
  EntryKeys keys;
  if (!KeysOfContent(content, &keys)) {
    *error = "not an archive entry";
    return false;
  }
  if (!db_->BeginAppend()) return Failed(error);
  std::vector<SqlRow> rows;
  if (!db_->Exec("SELECT 1 FROM entries WHERE uuid = $1", {keys.uuid}, &rows)) return Failed(error);
  if (!rows.empty()) return db_->Script("COMMIT") || Failed(error);  // stored before: once only
  if (!db_->Exec("SELECT seq, hash FROM entries ORDER BY seq DESC LIMIT 1", {}, &rows)) {
    return Failed(error);
  }
  const int64_t seq = rows.empty() ? 1 : ChainNumber(rows[0][0]) + 1;
  const std::string previous = rows.empty() ? kChainStart : rows[0][1];
  std::vector<std::string> values = {
      std::to_string(seq), keys.uuid,    keys.kind,  keys.readUuid,
      keys.atUtc,          keys.plateId, keys.assay, keys.status,
      keys.operatorName,   content,      previous,   ChainHash(previous, content),
      keys.verdict,        keys.reader};
  // The server fills server_at itself.
  if (db_->ServerClock()) values.push_back(ClientClock());
  const bool inserted = db_->Exec(
      "INSERT INTO entries (seq, uuid, kind, read_uuid, at_utc, plate_id, assay, status, operator, "
      "content, prev_hash, hash, verdict, reader" +
          std::string(db_->ServerClock() ? ", client_at" : "") +
          ") VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14" +
          (db_->ServerClock() ? ", $15" : "") + ")",
      values, nullptr);
  if (!inserted) return Failed(error);
  // The list finds a read by the plate ID entered last: kept beside the
  // chain, in the same transaction, and checked by Verify.
  AuditEntry audit;
  if (keys.kind == "audit" && ParseAudit(content, &audit) && audit.what == "plate ID" &&
      !db_->Exec("INSERT INTO plate_ids (read_uuid, plate_id, seq) VALUES ($1, $2, $3) "
                 "ON CONFLICT (read_uuid) DO UPDATE SET plate_id = excluded.plate_id, "
                 "seq = excluded.seq",
                 {audit.readUuid, audit.detail, std::to_string(seq)}, nullptr)) {
    return Failed(error);
  }
  return db_->Script("COMMIT") || Failed(error);
}

namespace {

// The list's statement: filters, the page after a given read, newest first.
std::string ReadsSql(const SqlConnection& db, const std::string& columns, const ReadQuery& query,
                     std::vector<std::string>* params) {
  std::string sql = "SELECT " + columns + " FROM entries WHERE kind = 'read'";
  const auto filter = [&](const char* column, const char* comparison, const std::string& value) {
    if (value.empty()) return;
    params->push_back(value);
    sql += std::string(" AND ") + column + comparison + "$" + std::to_string(params->size());
  };
  filter("at_utc", " >= ", UtcKey(query.since));
  filter("at_utc", " < ", UtcKey(query.until));
  filter("assay", " = ", query.assay);
  if (!query.plateId.empty()) sql += " AND " + PlateIdMatches("plate_id = ", params, query.plateId);
  if (query.verdict) {
    params->push_back(*query.verdict);
    sql += " AND verdict = $" + std::to_string(params->size());
  }
  if (!query.text.empty()) AddTextFilter(db, query.text, &sql, params);
  if (query.afterSeq > 0) {
    params->push_back(query.afterAtUtc);
    params->push_back(std::to_string(query.afterSeq));
    sql += " AND (at_utc, seq) < ($" + std::to_string(params->size() - 1) + ", $" +
           std::to_string(params->size()) + ")";
  }
  sql += " ORDER BY at_utc DESC, seq DESC";
  if (query.limit > 0) sql += " LIMIT " + std::to_string(query.limit);
  if (query.offset > 0) {
    // No limit, in words both databases take (PostgreSQL refuses -1).
    if (query.limit == 0) sql += " LIMIT 9223372036854775807";
    sql += " OFFSET " + std::to_string(query.offset);
  }
  return sql;
}

}  // namespace

bool ChainedArchive::SelectReads(const std::string& columns, const ReadQuery& query,
                                 std::vector<SqlRow>* rows, std::string* error) {
  std::vector<std::string> params;
  const std::string sql = ReadsSql(*db_, columns, query, &params);
  return db_->Exec(sql, params, rows) || Failed(error);
}

bool ChainedArchive::FindReads(const ReadQuery& query, std::vector<PlateRead>* reads,
                               std::string* error) {
  std::vector<SqlRow> rows;
  if (!SelectReads("content", query, &rows, error)) return false;
  reads->reserve(reads->size() + rows.size());
  for (const SqlRow& row : rows) {
    PlateRead read;
    if (ParseRead(row[0], &read)) reads->push_back(std::move(read));
  }
  return true;
}

bool ChainedArchive::ListReads(const ReadQuery& query, bool withContent,
                               std::vector<ReadSummary>* reads, std::string* error) {
  std::vector<SqlRow> rows;
  const std::string columns = std::string(kSummaryColumns) + (withContent ? ", content" : "");
  if (!SelectReads(columns, query, &rows, error)) return false;
  reads->reserve(reads->size() + rows.size());
  for (SqlRow& row : rows) {
    reads->push_back({ChainNumber(row[0]), std::move(row[1]), std::move(row[2]), std::move(row[3]),
                      std::move(row[4]), std::move(row[5]), std::move(row[6]),
                      withContent ? std::move(row[9]) : std::string(), std::move(row[7]),
                      std::move(row[8])});
  }
  return true;
}

bool ChainedArchive::AssayNames(std::vector<std::string>* names, std::string* error) {
  std::vector<SqlRow> rows;
  if (!db_->Exec("SELECT DISTINCT assay FROM entries WHERE assay <> '' ORDER BY assay", {},
                 &rows)) {
    return Failed(error);
  }
  for (SqlRow& row : rows) names->push_back(std::move(row[0]));
  return true;
}

bool ChainedArchive::EachRead(const ReadQuery& query, bool withContent,
                              const std::function<void(const ReadSummary&)>& each,
                              std::string* error) {
  std::vector<std::string> params;
  const std::string sql = ReadsSql(
      *db_, std::string(kSummaryColumns) + (withContent ? ", content" : ""), query, &params);
  // One summary, its strings' room reused from row to row.
  ReadSummary read;
  const auto take = [&](const SqlRowView& row) {
    std::from_chars(row[0].data(), row[0].data() + row[0].size(), read.seq);
    read.uuid.assign(row[1]);
    read.atUtc.assign(row[2]);
    read.plateId.assign(row[3]);
    read.assay.assign(row[4]);
    read.status.assign(row[5]);
    read.operatorName.assign(row[6]);
    read.verdict.assign(row[7]);
    read.reader.assign(row[8]);
    if (withContent) read.content.assign(row[9]);
    each(read);
  };
  return db_->EachRow(sql, params, take) || Failed(error);
}

bool ChainedArchive::GetRead(const std::string& uuid, PlateRead* read, std::string* error) {
  std::vector<SqlRow> rows;
  error->clear();
  if (!db_->Exec("SELECT content FROM entries WHERE uuid = $1 AND kind = 'read'", {uuid}, &rows)) {
    return Failed(error);
  }
  return !rows.empty() && ParseRead(rows[0][0], read);
}

bool ChainedArchive::GetRun(const std::string& uuid, RunRecord* run, std::string* error) {
  std::vector<SqlRow> rows;
  error->clear();
  if (!db_->Exec("SELECT content FROM entries WHERE uuid = $1 AND kind = 'run'", {uuid}, &rows)) {
    return Failed(error);
  }
  return !rows.empty() && ParseRun(rows[0][0], run);
}

bool ChainedArchive::AuditTrail(const std::string& readUuid, std::vector<AuditEntry>* entries,
                                std::string* error) {
  std::vector<SqlRow> rows;
  if (!db_->Exec("SELECT content FROM entries WHERE read_uuid = $1 AND kind = 'audit' ORDER BY seq",
                 {readUuid}, &rows)) {
    return Failed(error);
  }
  for (const SqlRow& row : rows) {
    AuditEntry entry;
    if (ParseAudit(row[0], &entry)) entries->push_back(std::move(entry));
  }
  return true;
}

bool ChainedArchive::Unforwarded(size_t limit, std::vector<StoredEntry>* entries,
                                 std::string* error) {
  std::vector<SqlRow> rows;
  if (!db_->Exec("SELECT seq, uuid, content FROM entries WHERE uuid NOT IN "
                 "(SELECT uuid FROM forwarded) ORDER BY seq LIMIT " +
                     std::to_string(limit),
                 {}, &rows)) {
    return Failed(error);
  }
  for (SqlRow& row : rows) {
    entries->push_back({ChainNumber(row[0]), std::move(row[1]), std::move(row[2])});
  }
  return true;
}

bool ChainedArchive::CountUnforwarded(int64_t* count, std::string* error) {
  std::vector<SqlRow> rows;
  if (!db_->Exec("SELECT count(*) FROM entries WHERE uuid NOT IN (SELECT uuid FROM forwarded)", {},
                 &rows)) {
    return Failed(error);
  }
  *count = rows.empty() ? 0 : ChainNumber(rows[0][0]);
  return true;
}

bool ChainedArchive::MarkForwarded(const std::string& uuid, std::string* error) {
  return db_->Exec("INSERT INTO forwarded (uuid) VALUES ($1) ON CONFLICT (uuid) DO NOTHING", {uuid},
                   nullptr) ||
         Failed(error);
}

}  // namespace archive
