// Tampering behind the program's back and a damaged file, as the user
// meets them through platovix-cli: entries cut off the end, a forged entry
// outside the chain, a read marked sent that the lab never got, and a
// damaged archive whose waiting reads must not be stranded.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

#include "archive/archive_store.h"
#include "archive/pg_connection.h"
#include "archive/spool.h"
#include "archive/sqlite_archive.h"
#include "archive/sqlite_connection.h"
#include "archive/witness.h"
#include "tests/archive/archive_samples.h"
#include "tests/support/cli_in_process.h"
#include "tests/support/lab_server.h"
#include "tests/support/temp_home.h"

using namespace archive;
using namespace archive_samples;
using Json = nlohmann::json;

namespace {

void Sql(const std::string& path, const std::string& script) {
  std::string error;
  std::unique_ptr<SqliteConnection> db = SqliteConnection::Open(path, false, &error);
  ASSERT_TRUE(db) << error;
  ASSERT_TRUE(db->Script(script)) << db->Error();
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::set<std::string> ListedUuids(const std::string& archive) {
  const CliRun run = RunCliWith({"archive", "list", "--archive", archive, "--format", "json"});
  EXPECT_EQ(run.code, 0) << run.err;
  std::set<std::string> uuids;
  if (run.code != 0) return uuids;
  for (const Json& read : Json::parse(run.out)) uuids.insert(read["uuid"].get<std::string>());
  return uuids;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

}  // namespace

// The last entries deleted with the triggers dropped, and an entry forged
// with sequence number 0: verify finds both and exits 1; the head it prints
// is the one the witness outside the database keeps.
TEST(ArchiveTamper, EntriesCutOffOrForgedInTheFileAreFound) {
  TempHome home("tamper");
  const std::string path = home.path() / "plates.sqlite";
  for (int n = 0; n < 5; ++n) ASSERT_TRUE(StoreRead({path, ""}, SampleRead(n)).stored);

  const CliRun sound = RunCliWith({"archive", "verify", "--archive", path});
  ASSERT_EQ(sound.code, 0) << sound.err;
  EXPECT_TRUE(Has(sound.out, "5 entries, the hash chain is intact")) << sound.out;
  EXPECT_TRUE(Has(sound.out, "head: entry 5, ")) << sound.out;
  EXPECT_TRUE(Has(sound.out, "last seen: entry 5 (" + (home.path() / "state").string() +
                                 "/platovix/witness/plates.sqlite-"))
      << sound.out;

  Sql(path, "DROP TRIGGER entries_no_delete; DELETE FROM entries WHERE seq > 3");
  const CliRun cut = RunCliWith({"archive", "verify", "--archive", path});
  EXPECT_EQ(cut.code, 1);
  EXPECT_TRUE(Has(cut.err, "the chain ends at 3, last seen 5: 2 entries removed")) << cut.err;
  // Removing the whole file is found as well, not taken for an empty archive.
  std::filesystem::remove(path);
  EXPECT_EQ(RunCliWith({"archive", "verify", "--archive", path}).code, 1);

  const std::string other = home.path() / "other.sqlite";
  for (int n = 0; n < 2; ++n) ASSERT_TRUE(StoreRead({other, ""}, SampleRead(n)).stored);
  Sql(other,
      "INSERT INTO entries (seq, uuid, kind, read_uuid, at_utc, plate_id, assay, status, "
      "operator, content, prev_hash, hash, verdict, reader) SELECT 0, 'forged-entry', kind, "
      "read_uuid, at_utc, plate_id, assay, status, operator, content, prev_hash, hash, verdict, "
      "reader FROM entries WHERE seq = 1");
  const CliRun forged = RunCliWith({"archive", "verify", "--archive", other});
  EXPECT_EQ(forged.code, 1);
  EXPECT_TRUE(Has(forged.err, "entry 0 (forged-entry) does not match")) << forged.err;
}

// The witness is written in place, in turn into two self-checking slots. A
// write torn by a power cut leaves the head before it, which verify takes
// for what it is (behind the file, not ahead of it); with both slots
// spoiled there is no witness, and no tampering either. A witness of the
// first kind (one line) is still read. The next store makes each whole.
TEST(ArchiveTamper, ATornOrOldWitnessIsReadForWhatItHolds) {
  TempHome home("witness");
  const std::string path = home.path() / "plates.sqlite";
  const auto verify = [&] { return RunCliWith({"archive", "verify", "--archive", path}); };
  for (int n = 0; n < 4; ++n) ASSERT_TRUE(StoreRead({path, ""}, SampleRead(n)).stored);
  const std::string witness = WitnessPath(path);
  std::string text = FileText(witness);
  const size_t fourth = text.find("platovix-witness 4 ");
  ASSERT_NE(fourth, std::string::npos) << text;
  ASSERT_NE(text.find("platovix-witness 3 "), std::string::npos) << text;
  // The fourth head's write cut off half way through its hash.
  text.replace(fourth + 50, 60, std::string(60, '\0'));
  WriteText(witness, text);
  CliRun run = verify();
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_TRUE(Has(run.out, "4 entries, the hash chain is intact")) << run.out;
  EXPECT_TRUE(Has(run.out, "last seen: entry 3 (" + witness + ")")) << run.out;
  ASSERT_TRUE(StoreRead({path, ""}, SampleRead(4)).stored);
  EXPECT_TRUE(Has(verify().out, "last seen: entry 5 (")) << verify().out;

  WriteText(witness, std::string(300, 'x'));
  run = verify();
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_TRUE(Has(run.out, "5 entries, the hash chain is intact")) << run.out;
  EXPECT_TRUE(Has(run.out, "last seen: unknown, the witness " + witness + " holds no sound head"))
      << run.out;
  ASSERT_TRUE(StoreRead({path, ""}, SampleRead(5)).stored);
  ChainHead sixth;
  ASSERT_TRUE(ReadWitness(path, &sixth));
  EXPECT_EQ(sixth.seq, 6);

  WriteText(witness, "6 " + sixth.hash + "\n" + path + "\n");
  EXPECT_TRUE(Has(verify().out, "last seen: entry 6 (")) << verify().out;
  WriteText(witness, "8 " + sixth.hash + "\n" + path + "\n");
  run = verify();
  EXPECT_EQ(run.code, 1);
  EXPECT_TRUE(Has(run.err, "the chain ends at 6, last seen 8: 2 entries removed")) << run.err;
  WriteText(witness, "6 " + sixth.hash + "\n" + path + "\n");
  ASSERT_TRUE(StoreRead({path, ""}, SampleRead(6)).stored);
  EXPECT_EQ(FileText(witness).rfind("platovix-witness 7 ", 0), 0u) << FileText(witness);
  EXPECT_TRUE(Has(verify().out, "last seen: entry 7 (")) << verify().out;
}

// On the lab's server: entries deleted with the trigger disabled are found
// by the head this computer last saw there, and a read marked forwarded
// that the lab never got is named by forward --check.
TEST(ArchiveTamper, LabEntriesRemovedOrNeverSentAreFound) {
  TempHome home("tamper-lab");
  PLATOVIX_LAB_SERVER(server);
  const StoreConfig config{"", server.url()};
  for (int n = 0; n < 4; ++n) ASSERT_TRUE(StoreRead(config, SampleRead(n)).stored);

  const CliRun checked = RunCliWith({"archive", "forward", "--check", "--archive", server.url()});
  EXPECT_EQ(checked.code, 0) << checked.err;
  EXPECT_TRUE(Has(checked.out, "4 entries marked forwarded, all in the lab archive"))
      << checked.out;
  // A read kept here only, then marked sent by hand: it would never reach the lab.
  const PlateRead withheld = SampleRead(9);
  ASSERT_TRUE(StoreRead({"", ""}, withheld).stored);
  Sql(DefaultArchivePath(), "INSERT INTO forwarded (uuid) VALUES ('" + withheld.uuid + "')");
  const CliRun found = RunCliWith({"archive", "forward", "--check", "--archive", server.url()});
  EXPECT_EQ(found.code, 1);
  EXPECT_TRUE(Has(found.err, "1 of 5 entries marked forwarded are not in the lab archive"))
      << found.err;
  EXPECT_TRUE(Has(found.err, withheld.uuid)) << found.err;
  const CliRun misplaced = RunCliWith({"archive", "list", "--check"});
  EXPECT_EQ(misplaced.code, 64);
  EXPECT_TRUE(Has(misplaced.err, "--check belongs to archive forward")) << misplaced.err;

  std::string error;
  std::unique_ptr<PgConnection> owner = PgConnection::Open(server.url(), &error);
  ASSERT_TRUE(owner) << error;
  ASSERT_TRUE(
      owner->Script("ALTER TABLE entries DISABLE TRIGGER USER; "
                    "DELETE FROM entries WHERE seq > 2"))
      << owner->Error();
  const CliRun cut = RunCliWith({"archive", "verify", "--archive", server.url()});
  EXPECT_EQ(cut.code, 1);
  EXPECT_TRUE(Has(cut.err, "the chain ends at 2, last seen 4: 2 entries removed")) << cut.err;
}

// A damaged file with a read in its spool and two not yet forwarded: the
// next store continues in local-2.sqlite and carries them along; every
// reader shows both files' reads; verify names the damage and fails.
TEST(ArchiveTamper, ADamagedArchiveStrandsNothing) {
  TempHome home("tamper-damaged");
  PLATOVIX_LAB_SERVER(server);
  const std::string path = home.path() / "local.sqlite";
  const StoreConfig config{path, server.url()};
  std::set<std::string> earlier;
  {
    SqliteOpenNotes notes;
    std::unique_ptr<ChainedArchive> local = OpenSqliteArchive(path, &notes);
    ASSERT_TRUE(local);
    std::string error;
    for (int n = 0; n < 60; ++n) {
      const PlateRead read = SampleRead(n);
      ASSERT_TRUE(local->AppendRead(read, &error)) << error;
      earlier.insert(read.uuid);
    }
  }
  ASSERT_TRUE(ForwardToLab(config).ok);
  // Two while the lab is away, one in the spool while the file was locked.
  std::vector<std::string> waiting;
  for (int n = 60; n < 62; ++n) {
    const PlateRead read = SampleRead(n);
    ASSERT_TRUE(StoreRead({path, "postgresql:///none?host=/nonexistent"}, read).stored);
    waiting.push_back(read.uuid);
  }
  const PlateRead spooled = SampleRead(62);
  std::string error;
  ASSERT_FALSE(SpoolEntry(path, ReadContent(spooled), &error).empty()) << error;
  waiting.push_back(spooled.uuid);
  {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(4096 * 5);
    const std::string garbage(4096, '\x5a');
    file.write(garbage.data(), garbage.size());
  }

  const PlateRead next = SampleRead(63);
  const StoreOutcome outcome = StoreRead(config, next);
  ASSERT_TRUE(outcome.stored);
  ASSERT_FALSE(outcome.messages.empty());
  EXPECT_TRUE(Has(outcome.messages[0], "local-2.sqlite")) << outcome.messages[0];
  for (const std::string& spool : SpoolPaths(path)) {
    std::ifstream in(spool);
    EXPECT_TRUE(!in || in.peek() == EOF) << spool << " still holds entries";
  }
  // The lab has what waited, and the new read.
  const std::set<std::string> lab = ListedUuids(server.url());
  for (const std::string& uuid : waiting) EXPECT_EQ(lab.count(uuid), 1u) << uuid;
  EXPECT_EQ(lab.count(next.uuid), 1u);

  // The local list: the continuation's reads and what the damaged file gives.
  const std::set<std::string> local = ListedUuids(path);
  EXPECT_EQ(local.count(next.uuid), 1u);
  for (const std::string& uuid : waiting) EXPECT_EQ(local.count(uuid), 1u) << uuid;
  std::vector<std::string> fromDamaged;
  for (const std::string& uuid : earlier) {
    if (local.count(uuid)) fromDamaged.push_back(uuid);
  }
  ASSERT_FALSE(fromDamaged.empty());
  for (const std::string& uuid : {fromDamaged.front(), waiting.front()}) {
    const CliRun shown = RunCliWith({"archive", "show", uuid, "--archive", path});
    EXPECT_EQ(shown.code, 0) << shown.err;
    EXPECT_TRUE(Has(shown.out, uuid));
  }

  const CliRun verify = RunCliWith({"archive", "verify", "--archive", path});
  EXPECT_EQ(verify.code, 1);
  EXPECT_TRUE(Has(verify.err, path + " is damaged")) << verify.err;
}
