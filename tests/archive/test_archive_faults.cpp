// The archive when things go wrong, through platovix-cli as a user meets
// it: a mistyped path, text that is not UTF-8, a spool torn by a power cut,
// two archives side by side, and connection strings with secrets in them.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <set>

#include "archive/archive_store.h"
#include "archive/spool.h"
#include "archive/sqlite_archive.h"
#include "results/shared_state.h"
#include "sim/reader_simulator.h"
#include "tests/archive/archive_samples.h"
#include "tests/archive/postgres_server.h"
#include "tests/support/cli_in_process.h"

using namespace archive;
using namespace archive_samples;
using Json = nlohmann::json;
namespace fs = std::filesystem;

namespace {

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Every file and folder under root, for "nothing was created".
std::set<std::string> Tree(const std::string& root) {
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(root)) names.insert(entry.path());
  return names;
}

// platovix-cli's own settings and data in a fresh folder.
class ArchiveFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", (home_.path() + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home_.path() + "/data").c_str(), 1);
    setenv("XDG_STATE_HOME", (home_.path() + "/state").c_str(), 1);
    AppSettings = TAppSettings{};
  }
  void TearDown() override { unsetenv("XDG_STATE_HOME"); }
  TempFolder home_;
};

}  // namespace

// Reading commands on an archive that is not there: said, exit 1, and no
// empty archive (nor folder) left behind to hide the mistake.
TEST_F(ArchiveFaults, ReadingCommandsNeverCreateAnArchive) {
  const std::string missing = home_.path() + "/no/such/file.sqlite";
  const std::set<std::string> before = Tree(home_.path());
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"archive", "list", "--archive", missing},
           {"archive", "show", "0123", "--archive", missing},
           {"archive", "export", "0123", "-o", home_.path() + "/out.json", "--archive", missing},
           {"archive", "verify", "--archive", missing},
           {"report", "--record", "0123", "-o", home_.path() + "/r.pdf", "--archive", missing},
           {"archive", "list"}}) {
    const CliRun run = RunCliWith(args);
    EXPECT_EQ(run.code, 1) << args[1] << ": " << run.err;
    EXPECT_NE(run.err.find("no archive at " + (args.back() == missing
                                                   ? missing
                                                   : home_.path() + "/data/platovix")),
              std::string::npos)
        << run.err;
  }
  EXPECT_EQ(Tree(home_.path()), before);
}
