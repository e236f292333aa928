// A test's own home: a fresh directory under /tmp that XDG_CONFIG_HOME points
// at (the settings file is path()/platovix.ini), with the archive under
// path()/data and the spool under path()/state, and the program's settings at
// their defaults. When it goes, the environment is put back, the settings
// reset again and the directory removed, so no test sees another's files.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "results/shared_state.h"

class TempHome {
 public:
  enum class Layout {
    Separate,   // data and state in their own folders below the home
    AllInHome,  // HOME and every XDG folder are the home itself
  };

  explicit TempHome(const std::string& name, Layout layout = Layout::Separate) {
    std::string pattern = "/tmp/platovix-" + name + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      ADD_FAILURE() << "no temporary directory for " << pattern;
      pattern = "/tmp";  // nothing of the test's own would be removed
      owned_ = false;
    }
    path_ = pattern;
    const bool all = layout == Layout::AllInHome;
    if (all) Set("HOME", path_);
    Set("XDG_CONFIG_HOME", path_);
    Set("XDG_DATA_HOME", all ? path_ : path_ / "data");
    Set("XDG_STATE_HOME", all ? path_ : path_ / "state");
    ResetSettings();
  }
  ~TempHome() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second) {
        setenv(it->first.c_str(), it->second->c_str(), 1);
      } else {
        unsetenv(it->first.c_str());
      }
    }
    ResetSettings();
    if (!owned_) return;
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // The settings and the abort flag as a first start has them.
  static void ResetSettings() {
    AppSettings = TAppSettings{};
    FilterTable = TFilterTable{};
    PortMap = TPortMap{};
    bAbort.store(0);
  }

 private:
  void Set(const char* name, const std::filesystem::path& value) {
    const char* old = std::getenv(name);
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    setenv(name, value.c_str(), 1);
  }

  std::filesystem::path path_;
  bool owned_ = true;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};
