#include "archive/forward_check.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "archive/postgres_archive.h"
#include "archive/sqlite_archive.h"

namespace archive {

ForwardCheck CheckForwarded(const StoreConfig& config) {
  ForwardCheck check;
  std::error_code ignored;
  const std::string path = config.localPath.empty() ? DefaultArchivePath() : config.localPath;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
  SqliteOpenNotes notes;
  std::unique_ptr<ChainedArchive> local = OpenSqliteArchiveForReading(
      absolute.empty() ? path : absolute.lexically_normal().string(), &notes);
  if (!local) {
    check.error = notes.writeProblem;
    return check;
  }
  std::string note;
  std::unique_ptr<ChainedArchive> lab =
      OpenPostgresArchiveForReading(config.labUrl, &note, &check.error);
  if (!lab) return check;
  constexpr size_t kSlice = 500;
  std::string after;
  for (;;) {
    std::vector<std::string> marked, held;
    if (!local->ForwardedUuids(after, kSlice, &marked, &check.error) ||
        !lab->HeldUuids(marked, &held, &check.error)) {
      return check;
    }
    const std::set<std::string> there(held.begin(), held.end());
    for (const std::string& uuid : marked) {
      if (there.count(uuid) == 0) check.missing.push_back(uuid);
    }
    check.checked += static_cast<int64_t>(marked.size());
    if (marked.size() < kSlice) break;
    after = marked.back();
  }
  return check;
}

}  // namespace archive
