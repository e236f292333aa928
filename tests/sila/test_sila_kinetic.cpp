// MeasureKinetic through the generated stubs against the simulator's
// kinetic plate, with a real SQLite archive: each read reaches the client as
// it completes, the run ends with every well's result and the UUID of a run
// record that platovix-cli's archive show finds; a cancel keeps the reads
// completed before it.
#include <algorithm>
#include <nlohmann/json.hpp>

#include "archive/sqlite_archive.h"
#include "sila_fixture.h"
#include "tests/support/cli_in_process.h"

namespace {

using Json = nlohmann::json;

class SilaKineticTest : public SilaServerTest {
 protected:
  void SetUp() override {
    archivePath_ = (home_ / "archive.sqlite").string();
    archive_ = archive::StoreConfig{archivePath_, ""};
    sim::Options options = Reader(sim::Family::DigiScan, 50);
    options.scenario = sim::PlateScenario::Kinetic;
    options.overflow = true;
    StartOnSimulator(options);
  }

  std::string Start(int reads, double interval) {
    prc::MeasureKinetic_Parameters parameters;
    parameters.mutable_reads()->set_value(reads);
    parameters.mutable_intervalseconds()->set_value(interval);
    parameters.mutable_assay()->set_value("");
    parameters.mutable_primarywavelength()->set_value(405);
    parameters.mutable_referencewavelength()->set_value(0);
    parameters.mutable_mode()->set_value("rate");
    parameters.mutable_confirmplateloading()->set_value(true);
    silafw::CommandConfirmation confirmation;
    grpc::ClientContext context;
    const grpc::Status status =
        client_->reader->MeasureKinetic(&context, parameters, &confirmation);
    EXPECT_TRUE(status.ok()) << status.error_message();
    return confirmation.commandexecutionuuid().value();
  }

  // The reads as they arrive until the run ends; each one to onRead first.
  std::vector<prc::MeasureKinetic_IntermediateResponses> FollowReads(
      const std::string& uuid,
      const std::function<void(const prc::MeasureKinetic_IntermediateResponses&)>& onRead = {}) {
    silafw::CommandExecutionUUID id;
    id.set_value(uuid);
    grpc::ClientContext context;
    context.set_deadline(std::chrono::system_clock::now() + std::chrono::seconds(120));
    auto stream = client_->reader->MeasureKinetic_Intermediate(&context, id);
    std::vector<prc::MeasureKinetic_IntermediateResponses> reads;
    prc::MeasureKinetic_IntermediateResponses read;
    while (stream->Read(&read)) {
      reads.push_back(read);
      if (onRead) onRead(read);
    }
    EXPECT_TRUE(stream->Finish().ok());
    return reads;
  }

  prc::MeasureKinetic_Responses Result(const std::string& uuid) {
    {  // to the end
      silafw::CommandExecutionUUID id;
      id.set_value(uuid);
      grpc::ClientContext context;
      context.set_deadline(std::chrono::system_clock::now() + std::chrono::seconds(120));
      auto stream = client_->reader->MeasureKinetic_Info(&context, id);
      silafw::ExecutionInfo info;
      while (stream->Read(&info)) {
      }
      EXPECT_TRUE(stream->Finish().ok());
    }
    silafw::CommandExecutionUUID id;
    id.set_value(uuid);
    prc::MeasureKinetic_Responses result;
    grpc::ClientContext context;
    const grpc::Status status = client_->reader->MeasureKinetic_Result(&context, id, &result);
    EXPECT_TRUE(status.ok()) << status.error_message();
    return result;
  }

  // The run's record as platovix-cli shows it.
  Json ShownRecord(const std::string& uuid) {
    const CliRun shown = RunCliWith({"archive", "show", uuid, "--archive", archivePath_});
    EXPECT_EQ(shown.code, kExitSuccess) << shown.err;
    return Json::parse(shown.out, nullptr, false);
  }

  archive::PlateRead StoredRead(const std::string& uuid) {
    archive::SqliteOpenNotes notes;
    const auto archive = archive::OpenSqliteArchive(archivePath_, &notes);
    archive::PlateRead read;
    std::string error;
    EXPECT_TRUE(archive && archive->GetRead(uuid, &read, &error)) << uuid << ": " << error;
    return read;
  }

  std::string archivePath_;
};

}  // namespace

TEST_F(SilaKineticTest, ReadsArriveAsTheyCompleteAndTheRunIsOneArchivedRecord) {
  const std::string uuid = Start(5, 0);
  const auto reads = FollowReads(uuid);
  ASSERT_EQ(reads.size(), 5u);
  for (size_t i = 0; i < reads.size(); ++i) {
    EXPECT_EQ(reads[i].readnumber().value(), static_cast<int64_t>(i + 1));
    EXPECT_EQ(reads[i].absorbances_size(), kWells);
    EXPECT_GT(reads[i].novaluewells_size(), 0);  // the simulator's wells above the range
    if (i > 0) {
      EXPECT_GT(reads[i].elapsedseconds().value(), reads[i - 1].elapsedseconds().value());
    }
  }
  EXPECT_EQ(reads[0].elapsedseconds().value(), 0);

  const prc::MeasureKinetic_Responses result = Result(uuid);
  EXPECT_EQ(result.wells_size(), kWells);
  EXPECT_EQ(result.wells(0).kineticwell().well().value(), "A1");
  EXPECT_EQ(result.readscompleted().value(), 5);
  EXPECT_EQ(result.status().value(), "completed");
  // The kinetic plate's wells rise: most have a rate, with its window's fit.
  const int rated = static_cast<int>(
      std::count_if(result.wells().begin(), result.wells().end(),
                    [](const auto& well) { return well.kineticwell().rate_size() == 1; }));
  EXPECT_GT(rated, kWells / 2);

  const Json run = ShownRecord(result.recorduuid().value());
  ASSERT_TRUE(run.is_object());
  EXPECT_EQ(run["kind"], "run");
  EXPECT_EQ(run["status"], "completed");
  EXPECT_EQ(run["plannedReads"], 5);
  EXPECT_EQ(run["analysis"]["kinetics"]["mode"], "rate");
  ASSERT_EQ(run["reads"].size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_DOUBLE_EQ(run["reads"][i]["elapsedSeconds"].get<double>(),
                     reads[i].elapsedseconds().value());
    // Each read on its own, with the wells the reader read above its range.
    const archive::PlateRead read = StoredRead(run["reads"][i]["uuid"]);
    EXPECT_EQ(read.status, archive::ReadStatus::Completed);
    EXPECT_EQ(read.primaryNm, 405);
    EXPECT_EQ(std::count(read.overRange.begin(), read.overRange.end(), 1),
              reads[i].novaluewells_size());
  }
  const CliRun verified = RunCliWith({"archive", "verify", "--archive", archivePath_});
  EXPECT_EQ(verified.code, kExitSuccess) << verified.err;
  EXPECT_NE(verified.out.find("6 entries"), std::string::npos) << verified.out;
}

TEST_F(SilaKineticTest, ACancelBetweenReadsKeepsTheCompletedOnesAndSaysAborted) {
  const std::string uuid = Start(10, 3600);
  // Cancelled while it waits an hour for the second read.
  const auto reads = FollowReads(uuid, [&](const auto&) {
    cancelcontroller::CancelCommand_Parameters parameters;
    parameters.mutable_commandexecutionuuid()->mutable_uuid()->set_value(uuid);
    cancelcontroller::CancelCommand_Responses response;
    grpc::ClientContext context;
    const grpc::Status status = client_->cancel->CancelCommand(&context, parameters, &response);
    EXPECT_TRUE(status.ok()) << status.error_message();
  });
  ASSERT_EQ(reads.size(), 1u);
  const prc::MeasureKinetic_Responses result = Result(uuid);
  EXPECT_EQ(result.status().value(), "aborted");
  EXPECT_EQ(result.readscompleted().value(), 1);
  EXPECT_EQ(result.wells_size(), kWells);
  const Json run = ShownRecord(result.recorduuid().value());
  EXPECT_EQ(run["status"], "aborted");
  ASSERT_EQ(run["reads"].size(), 1u);
  EXPECT_EQ(StoredRead(run["reads"][0]["uuid"]).status, archive::ReadStatus::Completed);

  // The reader is free again at once.
  prc::Get_ReaderIdentification_Responses id;
  grpc::ClientContext context;
  EXPECT_TRUE(client_->reader->Get_ReaderIdentification(&context, {}, &id).ok());
}
