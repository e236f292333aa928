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
#include "archive/sqlite_connection.h"
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

// A plate ID typed in a Latin-1 terminal is refused before the reader is
// touched; a Latin-1 file name is repaired into the record; a schema version
// that is not a number is a damaged archive: the read waits in the spool.
TEST_F(ArchiveFaults, TextThatIsNotUtf8OrADamagedVersionNeverCostsARead) {
  sim::Options options;
  options.measureMs = 50;
  sim::PtySimulator reader(options);
  const auto measure = [&](const std::vector<std::string>& more) {
    std::vector<std::string> args = {"--port",  reader.slavePath(), "--family", "digiscan",
                                     "measure", "--primary",        "450",      "--format",
                                     "json"};
    args.insert(args.end(), more.begin(), more.end());
    return RunCliWith(args);
  };
  const std::string stored = home_.path() + "/data/platovix/archive.sqlite";

  const CliRun refused = measure({"--plate-id", "Pr\xFC" "fung-1"});
  EXPECT_EQ(refused.code, 64);
  EXPECT_NE(refused.err.find("--plate-id is not UTF-8"), std::string::npos) << refused.err;
  EXPECT_TRUE(refused.out.empty());
  EXPECT_FALSE(fs::exists(stored));

  const std::string layout = home_.path() + "/Pr\xFC" "fung.csv";
  fs::copy_file(PLATOVIX_SOURCE_DIR "/examples/elisa-layout.csv", layout);
  const CliRun measured = measure({"--plate-id", "Prüfung-2", "--layout", layout});
  ASSERT_EQ(measured.code, 0) << measured.err;
  EXPECT_TRUE(Json::parse(measured.out).contains("values"));
  const CliRun listed = RunCliWith({"archive", "list", "--format", "json"});
  ASSERT_EQ(listed.code, 0) << listed.err;
  const Json reads = Json::parse(listed.out);
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0]["plateId"], "Prüfung-2");
  EXPECT_EQ(reads[0]["assayName"], "Pr\uFFFDfung.csv");

  {
    std::string error;
    auto db = SqliteConnection::Open(stored, false, &error);
    ASSERT_TRUE(db && db->Script("INSERT INTO schema_version (version) VALUES ('two')"));
  }
  const CliRun damaged = measure({"--plate-id", "P-3"});
  EXPECT_EQ(damaged.code, 0) << damaged.err;
  EXPECT_NE(damaged.err.find("schema version is not a number"), std::string::npos) << damaged.err;
  EXPECT_NE(damaged.err.find("is kept in"), std::string::npos) << damaged.err;
  EXPECT_TRUE(Json::parse(damaged.out).contains("values"));  // printed all the same
  EXPECT_EQ(RunCliWith({"archive", "list"}).code, 1);  // damaged: said, not listed as empty
}
