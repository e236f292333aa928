#include "archive/postgres_archive.h"

#include "archive/archive_url.h"
#include "archive/pg_connection.h"

namespace archive {

namespace {

const SqlDialect& PostgresDialect() {
  static const SqlDialect dialect{{EntryTablesSql("BIGINT") + R"sql(
CREATE FUNCTION platovix_append_only() RETURNS trigger LANGUAGE plpgsql AS $$
  BEGIN RAISE EXCEPTION 'the archive is append-only'; END $$;
CREATE TRIGGER entries_no_change BEFORE UPDATE OR DELETE ON entries
  FOR EACH ROW EXECUTE FUNCTION platovix_append_only();
CREATE TRIGGER entries_no_truncate BEFORE TRUNCATE ON entries
  FOR EACH STATEMENT EXECUTE FUNCTION platovix_append_only();
CREATE TABLE forwarded (uuid TEXT PRIMARY KEY, at TIMESTAMPTZ NOT NULL DEFAULT now());
)sql",
                                   // Verdict and reader as columns, for the History's filters;
                                   // filled from the content, as KeysOfContent takes them.
                                   R"sql(
ALTER TABLE entries ADD COLUMN verdict TEXT NOT NULL DEFAULT '';
ALTER TABLE entries ADD COLUMN reader TEXT NOT NULL DEFAULT '';
-- The list's columns beside its order: a search by text reads this
-- index alone, not the reads' long content (about twice as fast).
CREATE INDEX entries_list ON entries (kind, at_utc, seq, plate_id, assay, operator, verdict,
  reader, uuid, status);
ALTER TABLE entries DISABLE TRIGGER entries_no_change;
UPDATE entries SET
  verdict = CASE WHEN jsonb_typeof(content::jsonb -> 'verdict') = 'string'
                 THEN content::jsonb ->> 'verdict' ELSE '' END,
  reader = trim(both ' ' from
                CASE WHEN jsonb_typeof(content::jsonb -> 'readerFamily') = 'string'
                     THEN content::jsonb ->> 'readerFamily' ELSE '' END || ' ' ||
                CASE WHEN jsonb_typeof(content::jsonb -> 'readerId') = 'string'
                     THEN content::jsonb ->> 'readerId' ELSE '' END)
  WHERE kind = 'read';
ALTER TABLE entries ENABLE TRIGGER entries_no_change;
)sql",
                                   // The plate ID entered last for a read, beside the chain,
                                   // so that the list finds it by its current ID.
                                   R"sql(
CREATE TABLE plate_ids (read_uuid TEXT PRIMARY KEY, plate_id TEXT NOT NULL, seq BIGINT NOT NULL);
CREATE INDEX plate_ids_plate ON plate_ids (plate_id);
INSERT INTO plate_ids (read_uuid, plate_id, seq)
  SELECT DISTINCT ON (read_uuid) read_uuid, content::jsonb ->> 'detail', seq FROM entries
  WHERE kind = 'audit' AND content::jsonb ->> 'what' = 'plate ID'
    AND jsonb_typeof(content::jsonb -> 'detail') = 'string'
  ORDER BY read_uuid, seq DESC;
)sql",
                                   // Each entry's time by the server's clock, which clients
                                   // cannot set (see LabGrantsSql), beside the client's own
                                   // when it sent it: a client with a wrong clock is found.
                                   R"sql(
ALTER TABLE entries ADD COLUMN IF NOT EXISTS client_at TIMESTAMPTZ;
ALTER TABLE entries ADD COLUMN IF NOT EXISTS server_at TIMESTAMPTZ;
ALTER TABLE entries ALTER COLUMN server_at SET DEFAULT clock_timestamp();
)sql"}};
  return dialect;
}

}  // namespace

bool IsPostgresUrl(const std::string& url) {
  return KindOfArchive(url) == ArchiveKind::Postgres;
}

std::unique_ptr<ChainedArchive> OpenPostgresArchive(const std::string& url, std::string* note,
                                                    std::string* error) {
  std::unique_ptr<PgConnection> db = PgConnection::Open(url, error);
  if (!db) return nullptr;
  // Notices (IF NOT EXISTS) are nothing for the user.
  db->Script("SET client_min_messages = warning");
  auto archive = std::make_unique<ChainedArchive>(std::move(db), false);
  if (!archive->Prepare(PostgresDialect(), note, error)) return nullptr;
  archive->SetIdentity(ShownLocation(url));
  return archive;
}

std::unique_ptr<ChainedArchive> OpenPostgresArchiveForReading(const std::string& url,
                                                              std::string* note, std::string* error,
                                                              bool* reached) {
  if (reached != nullptr) *reached = false;
  std::unique_ptr<PgConnection> db = PgConnection::Open(url, error);
  if (!db) return nullptr;
  if (reached != nullptr) *reached = true;
  auto archive = std::make_unique<ChainedArchive>(std::move(db), true);
  if (!archive->Prepare(PostgresDialect(), note, error)) {
    const std::string init = "run platovix-cli archive init --archive " + ShownLocation(url) +
                             " as the owner of its tables";
    const std::string at = "the archive at " + ShownLocation(url);
    if (archive->OlderSchema()) {
      *error = at + " has an older Platovix schema (" + *error + "): " + init;
    } else if (archive->NoSchema()) {
      *error = at + " has no Platovix schema: " + init;
    } else {
      *error = "cannot read " + at + ": " + WithoutSecrets(*error, url);
    }
    return nullptr;
  }
  archive->SetIdentity(ShownLocation(url));
  return archive;
}

}  // namespace archive
