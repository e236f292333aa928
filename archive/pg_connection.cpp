#include "archive/pg_connection.h"

#include <libpq-fe.h>

#include "archive/archive_url.h"

namespace archive {

namespace {

// A lab server that is down must not hold a read up for long.
constexpr char kConnectTimeout[] = "5";

std::string Trimmed(const char* text) {
  std::string message = text != nullptr ? text : "";
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  return message;
}

}  // namespace

std::unique_ptr<PgConnection> PgConnection::Open(const std::string& url, std::string* error) {
  // libpq's text for a string it cannot parse repeats it, password and all.
  if (KindOfArchive(url, error) != ArchiveKind::Postgres) {
    if (error->empty()) *error = "the archive URL is not valid: " + ShownLocation(url);
    return nullptr;
  }
  // Ours first: what the connection string says wins (1: dbname may be a URL).
  // Keepalives find a server gone from the network within seconds, not hours.
  const char* keys[] = {"connect_timeout",     "keepalives",       "keepalives_idle",
                        "keepalives_interval", "keepalives_count", "tcp_user_timeout",
                        "application_name",    "dbname",           nullptr};
  // tcp_user_timeout: data sent but never acknowledged gives up as soon.
  const char* values[] = {kConnectTimeout, "1",        "5",         "2",    "3",
                          "15000",         "platovix", url.c_str(), nullptr};
  PGconn* connection = PQconnectdbParams(keys, values, 1);
  if (connection == nullptr || PQstatus(connection) != CONNECTION_OK) {
    *error = connection != nullptr ? WithoutSecrets(Trimmed(PQerrorMessage(connection)), url)
                                   : "out of memory";
    PQfinish(connection);
    return nullptr;
  }
  PQsetClientEncoding(connection, "UTF8");
  // A table lock held by a computer that lost its network must not hold a
  // read up: the store gives up, the read stays local and is forwarded later.
  PQclear(PQexec(connection, "SET lock_timeout = '5s'"));
  std::unique_ptr<PgConnection> opened(new PgConnection(connection));
  opened->ChooseFolding();
  return opened;
}

void PgConnection::ChooseFolding() {
  const std::vector<std::string> letters = {"\xC3\x84\xD0\x96", "\xC3\xA4\xD0\xB6"};  // ÄЖ, äж
  std::vector<SqlRow> rows;
  if (!Exec("SELECT lower($1::text) = $2::text", letters, &rows) || rows.empty() ||
      rows[0][0] == "t")
    return;
  rows.clear();
  if (!Exec("SELECT collname FROM pg_collation WHERE collname IN "
            "('und-x-icu', 'C.utf8', 'C.UTF-8', 'en_US.utf8', 'en_US.UTF-8') "
            "ORDER BY collprovider, collname",
            {}, &rows)) {
    return;
  }
  for (const SqlRow& row : rows) {
    const std::string collation = "\"" + row[0] + "\"";
    std::vector<SqlRow> same;
    if (Exec("SELECT lower($1::text COLLATE " + collation + ") = $2::text", letters, &same) &&
        !same.empty() && same[0][0] == "t") {
      lowerCollation_ = collation;
      return;
    }
  }
}

std::string PgConnection::Lower(const std::string& expression) const {
  if (lowerCollation_.empty()) return SqlConnection::Lower(expression);
  return "lower(" + expression + " COLLATE " + lowerCollation_ + ")";
}

PgConnection::~PgConnection() {
  PQfinish(connection_);
}

bool PgConnection::Exec(const std::string& sql, const std::vector<std::string>& params,
                        std::vector<SqlRow>* rows) {
  std::vector<const char*> values;
  values.reserve(params.size());
  for (const std::string& param : params) values.push_back(param.c_str());
  PGresult* result = PQexecParams(connection_, sql.c_str(), static_cast<int>(params.size()),
                                  nullptr, values.data(), nullptr, nullptr, 0);
  const ExecStatusType status = PQresultStatus(result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    error_ = Trimmed(PQerrorMessage(connection_));
    failure_ = PQstatus(connection_) == CONNECTION_OK ? SqlFailure::Other : SqlFailure::Unreachable;
    PQclear(result);
    return false;
  }
  if (rows != nullptr) {
    const int count = PQntuples(result);
    const int columns = PQnfields(result);
    for (int r = 0; r < count; ++r) {
      SqlRow& row = rows->emplace_back(columns);
      for (int c = 0; c < columns; ++c) {
        row[c].assign(PQgetvalue(result, r, c), PQgetlength(result, r, c));
      }
    }
  }
  PQclear(result);
  failure_ = SqlFailure::None;
  return true;
}

bool PgConnection::EachRow(const std::string& sql, const std::vector<std::string>& params,
                           const std::function<void(const SqlRowView&)>& each) {
  std::vector<const char*> values;
  values.reserve(params.size());
  for (const std::string& param : params) values.push_back(param.c_str());
  bool sent = PQsendQueryParams(connection_, sql.c_str(), static_cast<int>(params.size()), nullptr,
                                values.data(), nullptr, nullptr, 0) == 1;
  if (sent) PQsetSingleRowMode(connection_);
  bool ok = sent;
  SqlRowView row;
  // Every result is taken, also after a failure, so the connection is ready again.
  while (PGresult* result = sent ? PQgetResult(connection_) : nullptr) {
    const ExecStatusType status = PQresultStatus(result);
    if (status == PGRES_SINGLE_TUPLE && ok) {
      row.resize(static_cast<size_t>(PQnfields(result)));
      for (int c = 0; c < PQnfields(result); ++c) {
        row[c] = std::string_view(PQgetvalue(result, 0, c),
                                  static_cast<size_t>(PQgetlength(result, 0, c)));
      }
      each(row);
    } else if (status != PGRES_SINGLE_TUPLE && status != PGRES_TUPLES_OK &&
               status != PGRES_COMMAND_OK) {
      ok = false;
    }
    PQclear(result);
  }
  if (!ok) {
    error_ = Trimmed(PQerrorMessage(connection_));
    failure_ = PQstatus(connection_) == CONNECTION_OK ? SqlFailure::Other : SqlFailure::Unreachable;
    return false;
  }
  failure_ = SqlFailure::None;
  return true;
}

bool PgConnection::Script(const std::string& sql) {
  PGresult* result = PQexec(connection_, sql.c_str());
  const ExecStatusType status = PQresultStatus(result);
  PQclear(result);
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return true;
  error_ = Trimmed(PQerrorMessage(connection_));
  failure_ = PQstatus(connection_) == CONNECTION_OK ? SqlFailure::Other : SqlFailure::Unreachable;
  return false;
}

bool PgConnection::BeginAppend() {
  // Readers may go on; a second appender waits for this one's commit. An
  // advisory lock, as the everyday role may not lock the table itself
  // (that takes UPDATE or DELETE); seq's primary key keeps the chain whole
  // against any appender that does not take it.
  // An append is a few short statements; one that runs long waits on something else.
  return Script("BEGIN; SET LOCAL statement_timeout = '5s'; SELECT pg_advisory_xact_lock(7274002)");
}

bool PgConnection::BeginSchema() {
  // The tables may not be there yet: a lock of its own, for this transaction.
  return Script("BEGIN; SELECT pg_advisory_xact_lock(7274001)");
}

}  // namespace archive
