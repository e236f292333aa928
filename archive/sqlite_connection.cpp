#include "archive/sqlite_connection.h"

#include <sqlite3.h>

#include "archive/text_fold.h"

namespace archive {

namespace {

// Long enough for the desktop, the command line and the server to take turns.
constexpr int kBusyTimeoutMs = 5000;

SqlFailure FailureOf(int code) {
  switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return SqlFailure::Busy;
    case SQLITE_FULL:
      return SqlFailure::Full;
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
      return SqlFailure::ReadOnly;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return SqlFailure::Corrupt;
    default:
      return SqlFailure::Other;
  }
}

// lower() as PostgreSQL has it: every letter, not only A to Z.
void UnicodeLower(sqlite3_context* context, int, sqlite3_value** arguments) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(arguments[0]));
  if (text == nullptr) return sqlite3_result_null(context);
  const std::string folded =
      FoldedCase(std::string_view(text, static_cast<size_t>(sqlite3_value_bytes(arguments[0]))));
  sqlite3_result_text(context, folded.data(), static_cast<int>(folded.size()), SQLITE_TRANSIENT);
}

}  // namespace

std::unique_ptr<SqliteConnection> SqliteConnection::Open(const std::string& path, bool readOnly,
                                                         std::string* error) {
  sqlite3* db = nullptr;
  const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  const int code = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  if (code != SQLITE_OK) {
    *error = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  sqlite3_create_function_v2(db, "lower", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                             UnicodeLower, nullptr, nullptr, nullptr);
  return std::unique_ptr<SqliteConnection>(new SqliteConnection(db));
}

SqliteConnection::~SqliteConnection() {
  sqlite3_close(db_);
}

bool SqliteConnection::Fail(int code) {
  error_ = sqlite3_errmsg(db_);
  failure_ = FailureOf(code);
  return false;
}

bool SqliteConnection::Exec(const std::string& sql, const std::vector<std::string>& params,
                            std::vector<SqlRow>* rows) {
  return EachRow(sql, params, [rows](const SqlRowView& row) {
    if (rows != nullptr) rows->emplace_back(row.begin(), row.end());
  });
}

bool SqliteConnection::EachRow(const std::string& sql, const std::vector<std::string>& params,
                               const std::function<void(const SqlRowView&)>& each) {
  sqlite3_stmt* statement = nullptr;
  int code =
      sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr);
  if (code != SQLITE_OK) return Fail(code);
  for (size_t i = 0; i < params.size(); ++i) {
    sqlite3_bind_text(statement, static_cast<int>(i + 1), params[i].data(),
                      static_cast<int>(params[i].size()), SQLITE_STATIC);
  }
  const int columns = sqlite3_column_count(statement);
  SqlRowView row(static_cast<size_t>(columns));
  while ((code = sqlite3_step(statement)) == SQLITE_ROW) {
    for (int c = 0; c < columns; ++c) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, c));
      row[c] = text != nullptr
                   ? std::string_view(text, static_cast<size_t>(sqlite3_column_bytes(statement, c)))
                   : std::string_view();
    }
    each(row);
  }
  sqlite3_finalize(statement);
  if (code != SQLITE_DONE) return Fail(code);
  failure_ = SqlFailure::None;
  return true;
}

bool SqliteConnection::Script(const std::string& sql) {
  const int code = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
  return code == SQLITE_OK || Fail(code);
}

bool SqliteConnection::BeginAppend() {
  // IMMEDIATE takes the write lock now, so the chain's last hash cannot
  // change between reading it and appending after it.
  return Script("BEGIN IMMEDIATE");
}

bool SqliteConnection::BeginSchema() {
  return BeginAppend();
}

}  // namespace archive
