#include "analysis_ui/layout_in_use.h"

#include <filesystem>
#include <optional>

#include "link/operator_message.h"
#include "results/shared_state.h"

namespace {

// What was read, from which path and as the file stood then: the settings
// may name another file by now (a fresh start), or the operator may have
// changed the file in a spreadsheet meanwhile.
struct ReadLayout {
  std::string path;
  std::filesystem::file_time_type written;
  analysis::PlateLayout layout;
};
std::optional<ReadLayout> cache;

std::filesystem::file_time_type WrittenAt(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::last_write_time(path, ignored);
}

}  // namespace

const analysis::PlateLayout* LayoutInUse(void* owner) {
  const std::string path = AppSettings.LayoutFile;
  if (path.empty()) return nullptr;
  if (cache && cache->path == path && cache->written == WrittenAt(path)) return &cache->layout;

  analysis::LayoutParse parse = analysis::ReadLayoutFile(path);
  if (!parse.ok) {
    cache.reset();
    AppSettings.LayoutFile.clear();
    ShowMessageBox(owner, "The plate layout is no longer used:\n" + parse.error, "Warning",
                   kIconWarning);
    return nullptr;
  }
  cache = ReadLayout{path, WrittenAt(path), std::move(parse.layout)};
  return &cache->layout;
}

void UseLayout(const std::string& path, const analysis::PlateLayout& layout) {
  AppSettings.LayoutFile = path;
  cache = ReadLayout{path, WrittenAt(path), layout};
}
