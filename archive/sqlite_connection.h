// SqlConnection over one sqlite3 handle.
#pragma once

#include <memory>

#include "archive/sql_connection.h"

struct sqlite3;

namespace archive {

class SqliteConnection : public SqlConnection {
 public:
  // readOnly opens without any write, not even the journal mode's.
  static std::unique_ptr<SqliteConnection> Open(const std::string& path, bool readOnly,
                                                std::string* error);
  ~SqliteConnection() override;
  bool Exec(const std::string& sql, const std::vector<std::string>& params,
            std::vector<SqlRow>* rows) override;
  bool EachRow(const std::string& sql, const std::vector<std::string>& params,
               const std::function<void(const SqlRowView&)>& each) override;
  bool Script(const std::string& sql) override;
  bool BeginAppend() override;
  bool BeginSchema() override;
  const std::string& Error() const override { return error_; }
  SqlFailure Failure() const override { return failure_; }

 private:
  explicit SqliteConnection(sqlite3* db) : db_(db) {}
  bool Fail(int code);
  sqlite3* db_;
  std::string error_;
  SqlFailure failure_ = SqlFailure::None;
};

}  // namespace archive
