// MeasureKinetic through the generated stubs against the simulator's
// kinetic plate, with a real SQLite archive: each read reaches the client as
// it completes, the run ends with every well's result and the UUID of a run
// record that platovix-cli's archive show finds; a cancel keeps the reads
// completed before it. An assay whose response is the rate gets the same
// standard curve, concentrations and verdict as platovix-cli gives for the
// archived reads.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>

#include "analysis/assay.h"
#include "archive/sqlite_archive.h"
#include "cli/archive_reading.h"
#include "results/result_file.h"
#include "sila_fixture.h"
#include "tests/support/activity_series.h"
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

  std::string Start(int reads, double interval, const std::string& assay = "") {
    prc::MeasureKinetic_Parameters parameters;
    parameters.mutable_reads()->set_value(reads);
    parameters.mutable_intervalseconds()->set_value(interval);
    parameters.mutable_assay()->set_value(assay);
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
  EXPECT_EQ(result.rateanalysis_size(), 0);  // no assay of rates

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

// Row A of the simulator's kinetic plate is the standard series (its
// enzyme diluted 1.5-fold across the columns, 100 U/mL first), the other
// rows are samples, column 12 the blanks. Reads and interval come from
// the assay.
TEST_F(SilaKineticTest, AnAssayOfRatesGivesTheCommandLinesCurveConcentrationsAndVerdict) {
  analysis::PlateLayout layout;
  layout.unit = "U/mL";
  for (int row = 0; row < 8; ++row) {
    for (int column = 0; column < 12; ++column) {
      analysis::WellContent& well = layout.wells[row * 12 + column];
      if (column == 11) {
        well.role = analysis::WellRole::Blank;
      } else if (row == 0) {
        well.role = analysis::WellRole::Standard;
        well.concentration = 100 / std::pow(1.5, column);
      } else {
        well.role = analysis::WellRole::Sample;
        well.name = analysis::WellName(row * 12 + column);
      }
    }
  }
  const analysis::Assay assay = RateAssay(layout, 6, 0.5);
  const std::string assayPath = (home_ / "activity.json").string();
  std::string error;
  ASSERT_TRUE(analysis::SaveAssayFile(assayPath, assay, &error)) << error;

  const std::string uuid = Start(0, 0, analysis::WriteAssay(assay));
  const auto reads = FollowReads(uuid);
  ASSERT_EQ(reads.size(), 6u);
  EXPECT_GE(reads.back().elapsedseconds().value(), 5 * 0.5);  // start to start, never sooner
  const prc::MeasureKinetic_Responses result = Result(uuid);
  EXPECT_EQ(result.status().value(), "completed");
  ASSERT_EQ(result.rateanalysis_size(), 1);
  const auto& rates = result.rateanalysis(0).rateanalysis();

  // The series as the archive holds it, analysed by the command line.
  const Json run = ShownRecord(result.recorduuid().value());
  ASSERT_EQ(run["reads"].size(), 6u);
  std::string series = "[\n";
  for (size_t i = 0; i < 6; ++i) {
    TPlateResult plate;
    ResultContext context;
    PlateOfRecord(StoredRead(run["reads"][i]["uuid"]), &plate, &context);
    context.elapsedSeconds = run["reads"][i]["elapsedSeconds"].get<double>();
    series += (i > 0 ? ",\n" : "") + BuildResultJson(plate, context);
  }
  const std::string seriesPath = (home_ / "series.json").string();
  std::ofstream(seriesPath) << series << "]\n";
  const CliRun cli = RunCliWith(
      {"analyse", "--kinetic", "rate", "--assay", assayPath, "--format", "json", seriesPath});
  ASSERT_EQ(cli.code, kExitSuccess) << cli.err;
  const Json expected = Json::parse(cli.out);
  const Json& analysis = expected["analysis"];

  for (int well = 0; well < kWells; ++well) {
    const Json& rate = expected["kinetics"]["wells"][well]["rate"];
    const auto& served = result.wells(well).kineticwell();
    ASSERT_EQ(served.rate_size(), rate.is_null() ? 0 : 1) << well;
    if (!rate.is_null()) {
      EXPECT_DOUBLE_EQ(served.rate(0).value(), rate.get<double>());
    }
  }
  const auto& curve = rates.standardcurve().standardcurve();
  EXPECT_EQ(curve.model().value(), "linear");
  EXPECT_EQ(curve.failure().value(), "");
  ASSERT_EQ(curve.parameters_size(), 2);
  for (const auto& parameter : curve.parameters()) {
    EXPECT_DOUBLE_EQ(parameter.value().value(),
                     analysis["fit"]["parameters"][parameter.name().value()].get<double>());
  }
  ASSERT_EQ(curve.rsquared_size(), 1);
  EXPECT_DOUBLE_EQ(curve.rsquared(0).value(), analysis["fit"]["r2"].get<double>());

  EXPECT_EQ(rates.unit().value(), "U/mL");
  ASSERT_EQ(static_cast<size_t>(rates.groups_size()), analysis["groups"].size());
  int concentrations = 0;
  for (int i = 0; i < rates.groups_size(); ++i) {
    const auto& group = rates.groups(i).group();
    const Json& cliGroup = analysis["groups"][i];
    EXPECT_EQ(group.name().value(), cliGroup["name"]);
    EXPECT_EQ(group.role().value(), cliGroup["role"]);
    ASSERT_EQ(group.concentration_size(), cliGroup["concentration"].is_null() ? 0 : 1)
        << cliGroup.dump();
    if (group.concentration_size() == 0) continue;
    EXPECT_DOUBLE_EQ(group.concentration(0).value(), cliGroup["concentration"].get<double>());
    ++concentrations;
  }
  EXPECT_GT(concentrations, 40);  // most samples read on the curve

  const auto& verdict = rates.verdict().verdict();
  EXPECT_EQ(verdict.verdict().value(), analysis["qc"]["verdict"]);
  ASSERT_EQ(static_cast<size_t>(verdict.rules_size()), analysis["qc"]["rules"].size());
  for (int i = 0; i < verdict.rules_size(); ++i) {
    EXPECT_EQ(verdict.rules(i).rule().value(), analysis["qc"]["rules"][i]["rule"]);
    EXPECT_EQ(verdict.rules(i).passed().value(), analysis["qc"]["rules"][i]["passed"]);
  }
  // The run's record holds the same analysis.
  EXPECT_EQ(run["plannedReads"], 6);
  EXPECT_EQ(run["intervalSeconds"], 0.5);
  EXPECT_EQ(run["analysis"]["analysis"], analysis);
}
