// The chain's head and the forwarded state, as the witness and the
// forwarding check see them.
#include "archive/chained_archive.h"
#include "archive/witness.h"

namespace archive {

bool ChainedArchive::Head(int64_t* seq, std::string* hash, std::string* error) {
  std::vector<SqlRow> rows;
  if (!db_->Exec("SELECT seq, hash FROM entries ORDER BY seq DESC LIMIT 1", {}, &rows))
    return Failed(error);
  *seq = rows.empty() ? 0 : ChainNumber(rows[0][0]);
  *hash = rows.empty() ? "" : rows[0][1];
  return true;
}

bool ChainedArchive::RecordHead(std::string* error) {
  if (identity_.empty()) return true;
  ChainHead head;
  return Head(&head.seq, &head.hash, error) && RecordWitness(identity_, head, error);
}

bool ChainedArchive::HeldUuids(const std::vector<std::string>& uuids,
                               std::vector<std::string>* held, std::string* error) {
  if (uuids.empty()) return true;
  std::string sql = "SELECT uuid FROM entries WHERE uuid IN (";
  for (size_t i = 0; i < uuids.size(); ++i) sql += (i ? ", $" : "$") + std::to_string(i + 1);
  std::vector<SqlRow> rows;
  if (!db_->Exec(sql + ")", uuids, &rows)) return Failed(error);
  for (SqlRow& row : rows) held->push_back(std::move(row[0]));
  return true;
}

bool ChainedArchive::ForwardedUuids(const std::string& after, size_t limit,
                                    std::vector<std::string>* uuids, std::string* error) {
  std::vector<SqlRow> rows;
  if (!db_->Exec(
          "SELECT uuid FROM forwarded WHERE uuid > $1 ORDER BY uuid LIMIT " + std::to_string(limit),
          {after}, &rows)) {
    return Failed(error);
  }
  for (SqlRow& row : rows) uuids->push_back(std::move(row[0]));
  return true;
}

}  // namespace archive
