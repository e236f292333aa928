// The little the archive asks of a database: statements with text
// parameters $1..$n and rows back as text. SQLite and PostgreSQL each give
// it, so the archive's rules are written once.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace archive {

using SqlRow = std::vector<std::string>;  // NULL reads as ""
using SqlRowView = std::vector<std::string_view>;

enum class SqlFailure { None, Busy, Full, ReadOnly, Corrupt, Unreachable, Other };

class SqlConnection {
 public:
  virtual ~SqlConnection() = default;
  // One statement; rows may be null when none are wanted.
  virtual bool Exec(const std::string& sql, const std::vector<std::string>& params,
                    std::vector<SqlRow>* rows) = 0;
  // The same row by row, none kept: each row's text lives only during the
  // call. Here through Exec; a database that can stream does.
  virtual bool EachRow(const std::string& sql, const std::vector<std::string>& params,
                       const std::function<void(const SqlRowView&)>& each) {
    std::vector<SqlRow> rows;
    if (!Exec(sql, params, &rows)) return false;
    SqlRowView view;
    for (const SqlRow& row : rows) {
      view.assign(row.begin(), row.end());
      each(view);
    }
    return true;
  }
  // Several statements without parameters.
  virtual bool Script(const std::string& sql) = 0;
  // Starts the transaction that appends to the chain: one writer at a time.
  virtual bool BeginAppend() = 0;
  // Starts the transaction that creates or migrates the schema.
  virtual bool BeginSchema() = 0;
  // SQL for expression in lower case, every letter folded as FoldedCase does.
  virtual std::string Lower(const std::string& expression) const {
    return "lower(" + expression + ")";
  }
  // Whether entries carry the server's time beside the client's (client_at, server_at).
  virtual bool ServerClock() const { return false; }
  // The last failure's text and kind.
  virtual const std::string& Error() const = 0;
  virtual SqlFailure Failure() const = 0;
};

}  // namespace archive
