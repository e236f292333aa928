// Carrying what a damaged archive still owes (reads for the lab archive,
// reads in its spool) into the file its reads continue in.
#include "archive/spool.h"
#include "archive/sqlite_archive.h"
#include "archive/sqlite_connection.h"

namespace archive {

namespace {

void CarryUnforwarded(const std::string& file, ChainedArchive& into,
                      std::vector<std::string>* messages) {
  std::string error;
  std::unique_ptr<SqliteConnection> db = SqliteConnection::Open(file, true, &error);
  int64_t after = 0;
  int64_t carried = 0;
  constexpr int kSlice = 500;
  while (db) {
    std::vector<SqlRow> rows;
    if (!db->Exec("SELECT seq, content FROM entries WHERE seq > $1 AND uuid NOT IN "
                  "(SELECT uuid FROM forwarded) ORDER BY seq LIMIT " +
                      std::to_string(kSlice),
                  {std::to_string(after)}, &rows)) {
      error = db->Error();
      break;
    }
    for (const SqlRow& row : rows) {
      if (!into.AppendContent(row[1], &error)) {
        messages->push_back("an entry of " + file + " not yet in the lab archive could not be " +
                            "carried to " + into.Identity() + ": " + error);
        return;
      }
      after = ChainNumber(row[0]);
      ++carried;
    }
    if (rows.size() < static_cast<size_t>(kSlice)) return;
  }
  messages->push_back("the rest of " + file + " cannot be read (" + error + "); " +
                      std::to_string(carried) + " entries not yet in the lab archive were " +
                      "carried to " + into.Identity());
}

}  // namespace

void CarryToContinuation(const std::string& original, ChainedArchive& continuation,
                         bool unforwarded, std::vector<std::string>* messages) {
  if (continuation.ReadOnly()) return;
  for (int n = 1; n < 1000; ++n) {
    const std::string file = n == 1 ? original : ContinuationPath(original, n);
    if (file == continuation.Identity()) return;
    if (unforwarded) CarryUnforwarded(file, continuation, messages);
    std::string error;
    if (DrainSpools(file, continuation, &error, messages) < 0) {
      messages->push_back("the spool of " + file + " could not be carried to " +
                          continuation.Identity() + ": " + error);
    }
  }
}

}  // namespace archive
