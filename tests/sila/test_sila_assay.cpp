// MeasureAssay and the plate archive through the SiLA server, against the
// simulator's ELISA plate and a real SQLite archive in a temporary folder.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "analysis/assay.h"
#include "archive/sqlite_archive.h"
#include "sila_fixture.h"
#include "tests/support/test_paths.h"

namespace {

// The example assay that fits the simulator's ELISA plate.
std::string ElisaAssayText() {
  std::ifstream example(std::filesystem::path(test_paths::SourceDir()) /
                        "examples/elisa-assay.json");
  EXPECT_TRUE(example.good());
  return std::string(std::istreambuf_iterator<char>(example), {});
}

// Follows the MeasureAssay execution until it ends.
void WaitUntilFinished(SilaClient& client, const std::string& uuid) {
  silafw::CommandExecutionUUID id;
  id.set_value(uuid);
  grpc::ClientContext context;
  context.set_deadline(std::chrono::system_clock::now() + std::chrono::seconds(60));
  auto stream = client.reader->MeasureAssay_Info(&context, id);
  silafw::ExecutionInfo info;
  while (stream->Read(&info)) {
  }
  EXPECT_TRUE(stream->Finish().ok());
}

archive::PlateRead StoredRead(const std::string& path, const std::string& uuid) {
  archive::SqliteOpenNotes notes;
  const auto archive = archive::OpenSqliteArchive(path, &notes);
  archive::PlateRead read;
  std::string error;
  EXPECT_TRUE(archive && archive->GetRead(uuid, &read, &error)) << uuid << ": " << error;
  return read;
}

class SilaAssayTest : public SilaServerTest {
 protected:
  void UseArchive() {
    archivePath_ = (home_ / "archive.sqlite").string();
    archive_ = archive::StoreConfig{archivePath_, ""};
  }

  grpc::Status StartAssay(const std::string* assay, std::string* uuid) {
    prc::MeasureAssay_Parameters parameters;
    if (assay) parameters.mutable_assay()->set_value(*assay);
    parameters.mutable_confirmplateloading()->set_value(true);
    silafw::CommandConfirmation confirmation;
    grpc::ClientContext context;
    const grpc::Status status = client_->reader->MeasureAssay(&context, parameters, &confirmation);
    *uuid = confirmation.commandexecutionuuid().value();
    return status;
  }

  std::string archivePath_;
};

}  // namespace

TEST_F(SilaAssayTest, MeasureAssayGivesThePlateGroupsAndTheVerdictTheAnalysisGives) {
  UseArchive();
  sim::Options options = Reader();
  options.scenario = sim::PlateScenario::Elisa;
  StartOnSimulator(options);
  const std::string text = ElisaAssayText();
  std::string uuid;
  ASSERT_TRUE(StartAssay(&text, &uuid).ok());
  WaitUntilFinished(*client_, uuid);
  prc::MeasureAssay_Responses result;
  {
    silafw::CommandExecutionUUID id;
    id.set_value(uuid);
    grpc::ClientContext context;
    const grpc::Status status = client_->reader->MeasureAssay_Result(&context, id, &result);
    ASSERT_TRUE(status.ok()) << status.error_message();
  }

  // The same plate and assay through the analysis the command line runs.
  const auto& plate = result.plate().plate();
  ASSERT_EQ(plate.absorbances_size(), kWells);
  ASSERT_EQ(plate.filters_size(), 2);  // read with the assay's filters
  EXPECT_EQ(plate.filters(0).value(), 450);
  EXPECT_EQ(plate.filters(1).value(), 620);
  std::array<int32_t, kWells> values{};
  for (int well = 0; well < kWells; ++well) {
    values[well] = static_cast<int32_t>(std::lround(plate.absorbances(well).value() * 1000));
  }
  const analysis::AssayParse assay = analysis::ParseAssay(text);
  const analysis::PlateAnalysis expected =
      analysis::AnalysePlate(values, assay.assay.layout, assay.assay.Options());
  ASSERT_EQ(result.groups_size(), static_cast<int>(expected.groups.size()));
  for (size_t i = 0; i < expected.groups.size(); ++i) {
    const auto& group = result.groups(static_cast<int>(i)).group();
    EXPECT_EQ(group.name().value(), expected.groups[i].name);
    EXPECT_EQ(group.wells_size(), static_cast<int>(expected.groups[i].wells.size()));
    EXPECT_EQ(group.concentration_size(), expected.groups[i].concentration ? 1 : 0);
  }
  EXPECT_EQ(result.unit().value(), "pg/mL");
  const auto& verdict = result.verdict().verdict();
  EXPECT_EQ(verdict.verdict().value(), "Pass");
  ASSERT_TRUE(expected.qc.has_value());
  EXPECT_EQ(verdict.verdict().value(), expected.qc->Verdict());
  EXPECT_EQ(verdict.rules_size(), static_cast<int>(expected.qc->rules.size()));

  // Stored before it was reported, with the assay and its verdict; listed.
  const archive::PlateRead stored = StoredRead(archivePath_, result.recorduuid().value());
  EXPECT_EQ(stored.assayName, assay.assay.name);
  EXPECT_EQ(stored.assayJson, text);
  EXPECT_EQ(stored.verdict, verdict.verdict().value());
  EXPECT_TRUE(std::equal(values.begin(), values.end(), stored.values.begin()));
  prc::Get_RecentReads_Responses recent;
  grpc::ClientContext context;
  ASSERT_TRUE(client_->reader->Get_RecentReads(&context, {}, &recent).ok());
  ASSERT_EQ(recent.recentreads_size(), 1);
  EXPECT_EQ(recent.recentreads(0).archivedread().recorduuid().value(), result.recorduuid().value());
}

TEST_F(SilaAssayTest, ABadOrMissingAssayIsRefusedBeforeTheReaderIsTouched) {
  StartOnSimulator(Reader());
  std::string text = ElisaAssayText();
  const size_t cv = text.find("\"cvMax\": 20");
  ASSERT_NE(cv, std::string::npos);
  text.replace(cv, 11, "\"cvMax\": 150");
  const std::string notJson = "{\"format\": 1,";
  for (const std::string* assay : std::vector<const std::string*>{&text, &notJson, nullptr}) {
    std::string uuid;
    const silafw::ValidationError error = ErrorOf(StartAssay(assay, &uuid)).validationerror();
    EXPECT_EQ(error.parameter(), ReaderParameter("MeasureAssay", "Assay"));
    if (assay == &text) {
      EXPECT_NE(error.message().find("qc.cvMax: must be between 0 and 100"), std::string::npos)
          << error.message();
    }
  }
  EXPECT_TRUE(sim_->reader().Commands().empty());
}

TEST_F(SilaAssayTest, EveryReadIsStoredAndAnArchiveThatCannotTakeItLeavesItInTheSpool) {
  UseArchive();
  StartOnSimulator(Reader());
  const auto measure = [&](int primary) {
    const std::string uuid = StartMeasurement(primary);
    FollowInfo(*client_, uuid);
    prc::MeasurePlate_Responses result;
    silafw::CommandExecutionUUID id;
    id.set_value(uuid);
    grpc::ClientContext context;
    const grpc::Status status = client_->reader->MeasurePlate_Result(&context, id, &result);
    return std::make_pair(status, result);
  };
  const auto [done, plate] = measure(450);
  ASSERT_TRUE(done.ok()) << done.error_message();
  const archive::PlateRead stored = StoredRead(archivePath_, plate.recorduuid().value());
  EXPECT_EQ(stored.status, archive::ReadStatus::Completed);
  EXPECT_EQ(stored.primaryNm, 450);
  EXPECT_EQ(stored.readerId, plate.readeridentification().value());

  // A filter the reader lacks: a failed read, stored as such with the reason.
  const auto [failed, none] = measure(123);
  EXPECT_FALSE(failed.ok());
  std::vector<archive::PlateRead> reads;
  {
    archive::SqliteOpenNotes notes;
    std::string error;
    const auto archive = archive::OpenSqliteArchive(archivePath_, &notes);
    ASSERT_TRUE(archive && archive->FindReads({}, &reads, &error)) << error;
  }
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[0].status, archive::ReadStatus::Failed);
  EXPECT_FALSE(reads[0].message.empty());

  // An archive that cannot be made (its folder is a file): the read is still
  // reported, with its UUID, kept in the spool and named in the log.
  server_.reset();
  const std::filesystem::path blocked = home_ / "not-a-folder";
  std::ofstream(blocked) << "x";
  std::filesystem::create_directories(home_ / "state");
  setenv("XDG_STATE_HOME", (home_ / "state").c_str(), 1);
  archive_ = archive::StoreConfig{(blocked / "archive.sqlite").string(), ""};
  StartOnDevice(sim_->slavePath(), 0);
  const auto [spooled, kept] = measure(450);
  ASSERT_TRUE(spooled.ok()) << spooled.error_message();
  EXPECT_FALSE(kept.recorduuid().value().empty());
  server_.reset();
  EXPECT_NE(log_.str().find("warning"), std::string::npos) << log_.str();
  bool inSpool = false;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(home_ / "state")) {
    if (!entry.is_regular_file()) continue;
    std::ifstream file(entry.path());
    const std::string content(std::istreambuf_iterator<char>(file), {});
    inSpool = inSpool || content.find(kept.recorduuid().value()) != std::string::npos;
  }
  EXPECT_TRUE(inSpool);
  unsetenv("XDG_STATE_HOME");
}
