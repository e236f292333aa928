#include "analysis_ui/assay_in_use.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "analysis_ui/layout_in_use.h"
#include "link/operator_message.h"
#include "results/shared_state.h"

namespace {

// What was read, from which path and as the file stood then (see
// layout_in_use.cpp: the operator may change the file meanwhile).
struct ReadAssay {
  std::string path;
  std::filesystem::file_time_type written;
  analysis::Assay assay;
};
std::optional<ReadAssay> cache;

std::filesystem::file_time_type WrittenAt(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::last_write_time(path, ignored);
}

void PutFirstInRecent(const std::string& path) {
  std::string* recent = AppSettings.RecentAssays;
  std::string* end = recent + kRecentAssays;
  std::string* found = std::find(recent, end, path);
  if (found == end) found = end - 1;  // the oldest drops out
  std::rotate(recent, found, found + 1);
  recent[0] = path;
}

}  // namespace

const analysis::Assay* AssayInUse(void* owner) {
  const std::string path = AppSettings.AssayFile;
  if (path.empty()) return nullptr;
  if (cache && cache->path == path && cache->written == WrittenAt(path)) return &cache->assay;

  analysis::AssayParse parse = analysis::ReadAssayFile(path);
  if (!parse.ok) {
    cache.reset();
    AppSettings.AssayFile.clear();
    ShowMessageBox(owner, "The assay is no longer used:\n" + parse.message, "Warning",
                   kIconWarning);
    return nullptr;
  }
  cache = ReadAssay{path, WrittenAt(path), std::move(parse.assay)};
  return &cache->assay;
}

void UseAssay(const std::string& path, const analysis::Assay& assay) {
  AppSettings.AssayFile = path;
  PutFirstInRecent(path);
  cache = ReadAssay{path, WrittenAt(path), assay};
}

void UseNoAssay() {
  AppSettings.AssayFile.clear();
  cache.reset();
}

const analysis::PlateLayout* AnalysedLayout(void* owner) {
  if (const analysis::Assay* assay = AssayInUse(owner)) return &assay->layout;
  return LayoutInUse(owner);
}
