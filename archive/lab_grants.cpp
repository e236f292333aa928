#include "archive/lab_grants.h"

namespace archive {

bool LabGrantsSql(const std::string& role, std::string* sql, std::string* error) {
  bool plain = !role.empty() && role.size() <= 63;
  for (char c : role) {
    plain = plain && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '_' || c == '-');
  }
  if (!plain) {
    *error = "'" + role + "' is not a role name this program grants to (letters, digits, _ and -)";
    return false;
  }
  const std::string who = "\"" + role + "\"";
  // Each column the program appends, but not server_at: its default, the
  // server's clock, is the only value it can have.
  *sql = "DO $$ BEGIN EXECUTE format('GRANT USAGE ON SCHEMA %I TO " + who +
         "', current_schema()); END $$;\n"
         "GRANT SELECT ON entries, plate_ids, schema_version TO " +
         who +
         ";\n"
         "GRANT INSERT (seq, uuid, kind, read_uuid, at_utc, plate_id, assay, status, operator, "
         "content, prev_hash, hash, verdict, reader, client_at) ON entries TO " +
         who +
         ";\n"
         // The plate ID entered last for a read is kept up to date beside the
         // chain (and checked against it by verify).
         "GRANT INSERT, UPDATE (plate_id, seq) ON plate_ids TO " +
         who + ";\n";
  return true;
}

}  // namespace archive
