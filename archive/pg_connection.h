// SqlConnection over one libpq connection.
#pragma once

#include <memory>

#include "archive/sql_connection.h"

struct pg_conn;

namespace archive {

class PgConnection : public SqlConnection {
 public:
  // url: postgresql://host[:port]/db or any libpq connection string.
  static std::unique_ptr<PgConnection> Open(const std::string& url, std::string* error);
  ~PgConnection() override;
  bool Exec(const std::string& sql, const std::vector<std::string>& params,
            std::vector<SqlRow>* rows) override;
  // Row by row as the server sends them (libpq's single-row mode).
  bool EachRow(const std::string& sql, const std::vector<std::string>& params,
               const std::function<void(const SqlRowView&)>& each) override;
  bool Script(const std::string& sql) override;
  bool BeginAppend() override;
  bool BeginSchema() override;
  const std::string& Error() const override { return error_; }
  SqlFailure Failure() const override { return failure_; }
  std::string Lower(const std::string& expression) const override;
  bool ServerClock() const override { return true; }

 private:
  explicit PgConnection(pg_conn* connection) : connection_(connection) {}
  // A server whose own lower() folds ASCII only (a "C" database) is asked
  // for a collation that folds every letter, the C library's first: the
  // same folding as FoldedCase.
  void ChooseFolding();
  std::string lowerCollation_;
  pg_conn* connection_;
  std::string error_;
  SqlFailure failure_ = SqlFailure::None;
};

}  // namespace archive
