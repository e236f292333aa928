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
#include "archive/pg_connection.h"
#include "archive/spool.h"
#include "archive/sqlite_archive.h"
#include "archive/sqlite_connection.h"
#include "results/shared_state.h"
#include "settings/settings.h"
#include "sim/reader_simulator.h"
#include "tests/archive/archive_samples.h"
#include "tests/support/cli_in_process.h"
#include "tests/support/lab_server.h"
#include "tests/support/test_paths.h"

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
    EXPECT_NE(run.err.find("no archive at " +
                           (args.back() == missing ? missing : home_.path() + "/data/platovix")),
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
    std::vector<std::string> args = {"--port",   reader.slavePath(), "--family",
                                     "digiscan", "measure",          "--primary",
                                     "450",      "--format",         "json"};
    args.insert(args.end(), more.begin(), more.end());
    return RunCliWith(args);
  };
  const std::string stored = home_.path() + "/data/platovix/archive.sqlite";

  const CliRun refused = measure({"--plate-id",
                                  "Pr\xFC"
                                  "fung-1"});
  EXPECT_EQ(refused.code, 64);
  EXPECT_NE(refused.err.find("--plate-id is not UTF-8"), std::string::npos) << refused.err;
  EXPECT_TRUE(refused.out.empty());
  EXPECT_FALSE(fs::exists(stored));

  const std::string layout = home_.path() +
                             "/Pr\xFC"
                             "fung.csv";
  fs::copy_file(test_paths::SourceDir() + "/examples/elisa-layout.csv", layout);
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
  EXPECT_EQ(RunCliWith({"archive", "list"}).code, 1);        // damaged: said, not listed as empty
}

// A power cut while a read was spooled tears the spool's last entry. The
// reads spooled after it, one in the format of before, and the next one
// made all reach the archive; the torn bytes are kept aside as they were.
TEST_F(ArchiveFaults, ATornSpoolEntryIsKeptAsideAndBlocksNothingAfterIt) {
  const std::string path = home_.path() + "/archive.sqlite";
  const StoreConfig config{path, ""};
  ASSERT_TRUE(StoreRead(config, SampleRead(0)).stored);
  const auto schema = [&](const std::string& sql) {
    std::string error;
    auto db = SqliteConnection::Open(path, false, &error);
    ASSERT_TRUE(db && db->Script(sql)) << error;
  };
  // A newer program's schema: this one only spools.
  schema("INSERT INTO schema_version (version) VALUES (99)");
  std::vector<PlateRead> reads;
  for (int n = 1; n <= 2; ++n) {
    reads.push_back(SampleRead(n));
    ASSERT_TRUE(StoreRead(config, reads.back()).spooled);
  }
  const std::string spool = path + ".spool";
  const std::string whole = FileBytes(spool);
  const size_t cut = whole.rfind("#1 ") + 200;  // into the second entry's content
  fs::resize_file(spool, cut);
  const std::string torn = whole.substr(whole.rfind("#1 "), 200);
  reads.erase(reads.begin() + 1);
  for (int n = 3; n <= 4; ++n) {
    reads.push_back(SampleRead(n));
    ASSERT_TRUE(StoreRead(config, reads.back()).spooled);
  }
  reads.push_back(SampleRead(5));
  std::ofstream(spool, std::ios::app) << ReadContent(reads.back()) << '\n';

  schema("DELETE FROM schema_version WHERE version = 99");
  reads.push_back(SampleRead(6));
  const StoreOutcome outcome = StoreRead(config, reads.back());
  EXPECT_TRUE(outcome.stored);
  ASSERT_EQ(outcome.messages.size(), 1u);
  const std::string& message = outcome.messages[0];
  const size_t named = message.find(spool + ".damaged-");
  ASSERT_NE(named, std::string::npos) << message;
  const std::string aside = message.substr(named, message.find(',', named) - named);
  EXPECT_EQ(FileBytes(aside), torn + '\n');  // ended by the next entry's line break
  EXPECT_EQ(FileBytes(spool), "");

  std::vector<PlateRead> found;
  std::string error;
  SqliteOpenNotes notes;
  auto archive = OpenSqliteArchive(path, &notes);
  ASSERT_TRUE(archive->FindReads({}, &found, &error)) << error;
  std::set<std::string> uuids;
  for (const PlateRead& read : found) uuids.insert(read.uuid);
  EXPECT_EQ(found.size(), reads.size() + 1);  // and the first one
  for (const PlateRead& read : reads) EXPECT_EQ(uuids.count(read.uuid), 1u) << read.plateId;
  EXPECT_TRUE(archive->Verify().ok);
}

// Reads waiting in the state folder belong to their own archive; the one
// spool all archives once shared goes only into the default archive.
TEST_F(ArchiveFaults, EachArchiveDrainsOnlyItsOwnSpool) {
  const std::string a = home_.path() + "/a/archive.sqlite";
  const std::string b = home_.path() + "/b/archive.sqlite";
  const std::string byDefault = DefaultArchivePath();
  const PlateRead forA = SampleRead(1), forDefault = SampleRead(2);
  const auto append = [](const std::string& file, const std::string& text) {
    fs::create_directories(fs::path(file).parent_path());
    std::ofstream(file, std::ios::app) << text;
  };
  append(SpoolPaths(a)[1], ReadContent(forA) + '\n');
  append(home_.path() + "/state/platovix/archive.spool", ReadContent(forDefault) + '\n');
  EXPECT_NE(SpoolPaths(a)[1], SpoolPaths(b)[1]);

  const auto uuids = [](const std::string& path) {
    SqliteOpenNotes notes;
    std::vector<PlateRead> reads;
    std::string error;
    OpenSqliteArchive(path, &notes)->FindReads({}, &reads, &error);
    std::set<std::string> found;
    for (const PlateRead& read : reads) found.insert(read.uuid);
    return found;
  };
  const PlateRead inB = SampleRead(3), inA = SampleRead(4), inDefault = SampleRead(5);
  ASSERT_TRUE(StoreRead({b, ""}, inB).stored);
  EXPECT_EQ(uuids(b), std::set<std::string>{inB.uuid});
  ASSERT_TRUE(StoreRead({a, ""}, inA).stored);
  EXPECT_EQ(uuids(a), (std::set<std::string>{forA.uuid, inA.uuid}));
  ASSERT_TRUE(StoreRead({"", ""}, inDefault).stored);
  EXPECT_EQ(uuids(byDefault), (std::set<std::string>{forDefault.uuid, inDefault.uuid}));
}

// A password in the archive setting appears in no output, whatever is wrong
// with the setting; a keyword connection string reaches PostgreSQL; a URL of
// another form is refused and made no file; the settings file holding such
// a setting is the user's alone.
TEST_F(ArchiveFaults, NoSecretIsShownAndEveryFormGoesWhereItBelongs) {
  const std::string secret = "S3cret-Pw";
  const std::string cwd = fs::current_path();
  fs::current_path(home_.path());
  const std::set<std::string> before = Tree(home_.path());
  for (const std::string& where :
       {"postgresql://lab:" + secret + "@[::1/plates",         // libpq cannot parse it
        "postgresql://lab:" + secret + "@127.0.0.1:1/plates",  // nobody listens
        "host=127.0.0.1 port=1 user=lab password=" + secret + " dbname=plates",
        "postgresql:/lab:" + secret + "@db.lab/plates",  // neither URL nor path
        "https://lab:" + secret + "@db.lab/plates"}) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"archive", "list", "--archive", where},
                                               {"archive", "verify", "--archive", where},
                                               {"archive", "forward", "--archive", where}}) {
      const CliRun run = RunCliWith(args);
      // refused, or the local archive shown in its place: said either way
      EXPECT_EQ((run.out + run.err).find(secret), std::string::npos) << run.out << run.err;
      EXPECT_FALSE(run.err.empty()) << where;
    }
    const StoreOutcome stored = StoreRead({"", where}, SampleRead(1));
    EXPECT_TRUE(stored.stored);  // here at least, and said why not there
    for (const std::string& message : stored.messages)
      EXPECT_EQ(message.find(secret), std::string::npos) << message;
  }
  const CliRun refused = RunCliWith({"archive", "list", "--archive", "postgresql:/db.lab/x"});
  EXPECT_NE(refused.err.find("the archive URL is not valid: postgresql:/db.lab/x"),
            std::string::npos)
      << refused.err;
  const StoreOutcome spooled =
      StoreRead({"postgresql:/lab:" + secret + "@db/x", ""}, SampleRead(2));
  EXPECT_FALSE(spooled.stored);
  EXPECT_TRUE(spooled.spooled);  // in the state folder, under a name without the secret
  EXPECT_EQ((spooled.warning + spooled.spoolPath).find(secret), std::string::npos)
      << spooled.warning;
  fs::current_path(cwd);
  // Only the default archive and the state folder's spool are new: no file
  // or folder named after a connection string.
  for (const std::string& name : Tree(home_.path())) {
    if (before.count(name) > 0) continue;
    EXPECT_TRUE(name.rfind(home_.path() + "/data", 0) == 0 ||
                name.rfind(home_.path() + "/state", 0) == 0)
        << name;
    EXPECT_EQ(name.find(secret), std::string::npos) << name;
  }

  AppSettings.ArchiveUrl = "postgresql://lab:" + secret + "@db.lab/plates";
  SaveSettings();
  struct stat info {};
  ASSERT_EQ(stat(SettingsFilePath().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  PLATOVIX_LAB_SERVER(server);
  const PlateRead read = SampleRead(3);
  ASSERT_TRUE(StoreRead({home_.path() + "/local.sqlite", server.url()}, read).stored);
  // postgresql:///postgres?host=H&port=P[&user=U] as keywords
  std::string keywords = "dbname=postgres";
  const std::string query = server.url().substr(server.url().find('?') + 1);
  for (size_t from = 0; from < query.size();) {
    const size_t to = std::min(query.find('&', from), query.size());
    std::string pair = query.substr(from, to - from);
    keywords += " " + pair;
    from = to + 1;
  }
  const CliRun listed = RunCliWith({"archive", "list", "--archive", keywords, "--format", "json"});
  ASSERT_EQ(listed.code, 0) << listed.err;
  const Json reads = Json::parse(listed.out);
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0]["uuid"], read.uuid);
}

// Another computer holds the lab's append lock and went quiet: the store
// gives up on the lab within its time-out, the read is safe locally, and
// it is forwarded once the lock is gone.
TEST_F(ArchiveFaults, AHeldLabLockLeavesTheReadLocalToBeForwardedLater) {
  PLATOVIX_LAB_SERVER(server);
  const StoreConfig config{home_.path() + "/local.sqlite", server.url()};
  ASSERT_TRUE(StoreRead(config, SampleRead(0)).stored);  // the lab's schema is there
  std::string error;
  std::unique_ptr<PgConnection> other = PgConnection::Open(server.url(), &error);
  ASSERT_TRUE(other) << error;
  ASSERT_TRUE(other->Script("BEGIN; LOCK TABLE entries IN SHARE ROW EXCLUSIVE MODE"));

  const PlateRead read = SampleRead(1);
  const StoreOutcome outcome = StoreRead(config, read);
  EXPECT_TRUE(outcome.stored);
  ASSERT_EQ(outcome.messages.size(), 1u);
  EXPECT_NE(outcome.messages[0].find("1 entries wait"), std::string::npos) << outcome.messages[0];

  ASSERT_TRUE(other->Script("ROLLBACK"));
  const ForwardOutcome forward = ForwardToLab(config);
  EXPECT_TRUE(forward.ok) << forward.error;
  EXPECT_EQ(forward.sent, 1);
  EXPECT_EQ(forward.pending, 0);
}
