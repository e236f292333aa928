// The reader feature against the simulator, over TLS: a measurement with
// progress, busy refusals, validation, cancellation, a client that goes
// away, a silent reader.
#include <cmath>

#include "tests/sila/sila_fixture.h"
#include "tests/support/pty_pair.h"

namespace {

// What the server must make of the DigiScan simulator's readings at one
// filter: thousandths to absorbance, out of range to "no value".
void ExpectPlate(const sim::ReaderSimulator& reader, int primary,
                 const prc::MeasurePlate_Responses& result) {
  ASSERT_EQ(result.absorbances_size(), 96);
  std::vector<std::string> noValue;
  for (int well = 0; well < 96; ++well) {
    const int raw = reader.Reading(primary, well);
    const std::string name = std::string(1, char('A' + well / 12)) + std::to_string(well % 12 + 1);
    if (raw < -100 || raw > 3200) {
      noValue.push_back(name);
      EXPECT_EQ(result.absorbances(well).value(), 0.0) << name;
    } else {
      EXPECT_DOUBLE_EQ(result.absorbances(well).value(), raw / 1000.0) << name;
    }
  }
  std::vector<std::string> reported;
  for (const auto& well : result.novaluewells()) reported.push_back(well.value());
  EXPECT_EQ(reported, noValue);
}

std::vector<std::string> Intermediates(SilaClient& client, const std::string& uuid) {
  silafw::CommandExecutionUUID id;
  id.set_value(uuid);
  grpc::ClientContext context;
  context.set_deadline(std::chrono::system_clock::now() + std::chrono::seconds(60));
  auto stream = client.reader->MeasurePlate_Intermediate(&context, id);
  std::vector<std::string> texts;
  prc::MeasurePlate_IntermediateResponses response;
  while (stream->Read(&response)) texts.push_back(response.status().value());
  stream->Finish();
  return texts;
}

grpc::Status Result(SilaClient& client, const std::string& uuid,
                    prc::MeasurePlate_Responses* result) {
  silafw::CommandExecutionUUID id;
  id.set_value(uuid);
  grpc::ClientContext context;
  return client.reader->MeasurePlate_Result(&context, id, result);
}

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

}  // namespace

TEST_F(SilaServerTest, MeasurementReportsProgressTextsAndThePlate) {
  sim::Options options = Reader();
  options.overflow = true;  // a few wells without a value
  StartOnSimulator(options);
  const std::string uuid = StartMeasurement(450);
  ASSERT_FALSE(uuid.empty());

  std::thread texts([&] {
    const std::vector<std::string> seen = Intermediates(*client_, uuid);
    EXPECT_TRUE(Contains(seen, "measuring"));
    EXPECT_TRUE(Contains(seen, "check(1)"));
    EXPECT_TRUE(Contains(seen, "success"));
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](const std::string& t) {
      return t.find(" / ") != std::string::npos;
    }));
  });
  const std::vector<silafw::ExecutionInfo> infos = FollowInfo(*client_, uuid);
  texts.join();
  ASSERT_GE(infos.size(), 3u);
  double last = -1;
  for (const auto& info : infos) {
    EXPECT_GE(info.progressinfo().value(), last);
    last = info.progressinfo().value();
    EXPECT_GT(info.updatedlifetimeofexecution().seconds(), 0);
  }
  EXPECT_EQ(infos.front().commandstatus(), silafw::ExecutionInfo::running);
  EXPECT_GT(infos.front().estimatedremainingtime().seconds() +
                infos.front().estimatedremainingtime().nanos(),
            0);
  EXPECT_EQ(infos.back().commandstatus(), silafw::ExecutionInfo::finishedSuccessfully);
  EXPECT_DOUBLE_EQ(last, 1.0);

  prc::MeasurePlate_Responses result;
  ASSERT_TRUE(Result(*client_, uuid, &result).ok());
  ExpectPlate(sim_->reader(), 450, result);
  EXPECT_FALSE(result.novaluewells().empty());
  EXPECT_EQ(result.readeridentification().value(), "12345");
  ASSERT_EQ(result.filters_size(), 1);
  EXPECT_EQ(result.filters(0).value(), 450);
  EXPECT_GE(result.completiontime().year(), 2024u);
  const auto seconds = [](const silafw::Timestamp& t) {
    return t.hour() * 3600 + t.minute() * 60 + t.second();
  };
  EXPECT_GE(seconds(result.completiontime()) +
                86400 * (result.completiontime().day() != result.starttime().day()),
            seconds(result.starttime()) + 4);  // the reader is first asked after 4 s
}

TEST_F(SilaServerTest, ASecondCommandWhileOneRunsIsRefusedAtOnce) {
  StartOnSimulator(Reader(sim::Family::DigiScan, 2000));
  // Busy as a subscriber sees it: false, true, false.
  std::vector<bool> busy;
  grpc::ClientContext busyContext;
  auto subscription = client_->reader->Subscribe_Busy(&busyContext, {});
  prc::Subscribe_Busy_Responses update;
  ASSERT_TRUE(subscription->Read(&update));
  busy.push_back(update.busy().value());

  const std::string uuid = StartMeasurement(450);
  const auto before = std::chrono::steady_clock::now();
  {
    prc::MeasurePlate_Parameters again;
    again.mutable_primarywavelength()->set_value(450);
    again.mutable_referencewavelength()->set_value(0);
    again.mutable_confirmplateloading()->set_value(true);
    silafw::CommandConfirmation confirmation;
    grpc::ClientContext context;
    EXPECT_EQ(DefinedErrorId(client_->reader->MeasurePlate(&context, again, &confirmation)),
              ReaderErrorId("ReaderBusy"));
  }
  {
    prc::ReadFilters_Responses filters;
    grpc::ClientContext context;
    EXPECT_EQ(DefinedErrorId(client_->reader->ReadFilters(&context, {}, &filters)),
              ReaderErrorId("ReaderBusy"));
  }
  {
    prc::MovePlate_Parameters move;
    move.mutable_direction()->set_value("Out");
    prc::MovePlate_Responses moved;
    grpc::ClientContext context;
    EXPECT_EQ(DefinedErrorId(client_->reader->MovePlate(&context, move, &moved)),
              ReaderErrorId("ReaderBusy"));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));  // not queued
  {
    prc::MeasurePlate_Responses result;
    const silafw::SiLAError error = ErrorOf(Result(*client_, uuid, &result));
    EXPECT_EQ(error.frameworkerror().errortype(),
              silafw::FrameworkError::COMMAND_EXECUTION_NOT_FINISHED);
  }
  FollowInfo(*client_, uuid);
  while (busy.size() < 3 && subscription->Read(&update)) busy.push_back(update.busy().value());
  EXPECT_EQ(busy, (std::vector<bool>{false, true, false}));
  busyContext.TryCancel();
  subscription->Finish();
}

TEST_F(SilaServerTest, BadParametersGiveValidationErrorsWithoutTouchingTheReader) {
  StartOnSimulator(Reader());
  const auto measureError = [&](int primary, int reference) {
    prc::MeasurePlate_Parameters parameters;
    parameters.mutable_primarywavelength()->set_value(primary);
    parameters.mutable_referencewavelength()->set_value(reference);
    silafw::CommandConfirmation confirmation;
    grpc::ClientContext context;
    return ErrorOf(client_->reader->MeasurePlate(&context, parameters, &confirmation))
        .validationerror()
        .parameter();
  };
  EXPECT_EQ(measureError(99, 0), ReaderParameter("MeasurePlate", "PrimaryWavelength"));
  EXPECT_EQ(measureError(450, 50), ReaderParameter("MeasurePlate", "ReferenceWavelength"));

  const auto calibrateError = [&](std::vector<std::pair<int, int>> entries) {
    prc::CalibrateFilters_Parameters parameters;
    for (auto [position, nm] : entries) {
      auto* entry = parameters.add_calibrations();
      entry->mutable_position()->set_value(position);
      entry->mutable_wavelength()->set_value(nm);
    }
    prc::CalibrateFilters_Responses filters;
    grpc::ClientContext context;
    return ErrorOf(client_->reader->CalibrateFilters(&context, parameters, &filters))
        .validationerror();
  };
  EXPECT_EQ(calibrateError({{7, 450}}).parameter(),
            ReaderParameter("CalibrateFilters", "Calibrations"));
  EXPECT_NE(calibrateError({{2, 150}}).message().find("200 to 999"), std::string::npos);
  EXPECT_NE(calibrateError({{2, 450}, {2, 500}}).message().find("twice"), std::string::npos);
  EXPECT_FALSE(calibrateError({}).message().empty());

  prc::MovePlate_Parameters move;
  move.mutable_direction()->set_value("Sideways");
  prc::MovePlate_Responses moved;
  grpc::ClientContext context;
  EXPECT_EQ(
      ErrorOf(client_->reader->MovePlate(&context, move, &moved)).validationerror().parameter(),
      ReaderParameter("MovePlate", "Direction"));
  EXPECT_TRUE(sim_->reader().Commands().empty());
}

TEST_F(SilaServerTest, UnobservableCommandsAndProperties) {
  StartOnSimulator(Reader());
  {
    prc::Get_ReaderIdentification_Responses id;
    grpc::ClientContext context;
    ASSERT_TRUE(client_->reader->Get_ReaderIdentification(&context, {}, &id).ok());
    EXPECT_EQ(id.readeridentification().value(), "");  // not asked yet
  }
  {
    prc::ReadFilters_Responses filters;
    grpc::ClientContext context;
    ASSERT_TRUE(client_->reader->ReadFilters(&context, {}, &filters).ok());
    std::vector<int64_t> nm;
    for (const auto& f : filters.filters()) nm.push_back(f.value());
    EXPECT_EQ(nm, (std::vector<int64_t>{405, 450, 492, 540, 620, 690}));
    EXPECT_EQ(filters.readeridentification().value(), "12345");
  }
  {
    prc::CalibrateFilters_Parameters parameters;
    auto* entry = parameters.add_calibrations();
    entry->mutable_position()->set_value(2);
    entry->mutable_wavelength()->set_value(500);
    prc::CalibrateFilters_Responses filters;
    grpc::ClientContext context;
    ASSERT_TRUE(client_->reader->CalibrateFilters(&context, parameters, &filters).ok());
    ASSERT_EQ(filters.filters_size(), 6);
    EXPECT_EQ(filters.filters(1).value(), 500);
  }
  {
    prc::Get_Filters_Responses filters;
    grpc::ClientContext context;
    ASSERT_TRUE(client_->reader->Get_Filters(&context, {}, &filters).ok());
    ASSERT_EQ(filters.filters_size(), 6);
    EXPECT_EQ(filters.filters(1).value(), 500);
  }
  {
    prc::MovePlate_Parameters move;
    move.mutable_direction()->set_value("Out");
    prc::MovePlate_Responses moved;
    grpc::ClientContext context;
    ASSERT_TRUE(client_->reader->MovePlate(&context, move, &moved).ok());
  }
  const auto commands = sim_->reader().Commands();
  EXPECT_TRUE(Contains(commands, "Jf2500G"));
  EXPECT_TRUE(Contains(commands, "IG"));
}

TEST_F(SilaServerTest, MissingFilterAndRefusedPlateAreDefinedErrors) {
  StartOnSimulator(Reader(sim::Family::Jupiter));
  const std::string missing = StartMeasurement(777);
  FollowInfo(*client_, missing);
  prc::MeasurePlate_Responses result;
  silafw::SiLAError error = ErrorOf(Result(*client_, missing, &result));
  EXPECT_EQ(error.definedexecutionerror().erroridentifier(), ReaderErrorId("FilterNotInReader"));
  EXPECT_EQ(error.definedexecutionerror().message(), "Filter 777 not in reader.");

  const std::string refused = StartMeasurement(450, 0, false);
  const auto infos = FollowInfo(*client_, refused);
  ASSERT_FALSE(infos.empty());
  EXPECT_EQ(infos.back().commandstatus(), silafw::ExecutionInfo::finishedWithError);
  EXPECT_EQ(DefinedErrorId(Result(*client_, refused, &result)), ReaderErrorId("PlateNotConfirmed"));
}

TEST_F(SilaServerTest, CancelSendsEotAndEndsTheExecutionWithAnError) {
  StartOnSimulator(Reader(sim::Family::DigiScan, 30000));
  const std::string uuid = StartMeasurement(450);
  ASSERT_TRUE(WaitForCommand("Sf"));  // the reader is measuring
  const int eotsBefore = sim_->reader().EotCount();
  {
    cancelcontroller::CancelCommand_Parameters cancel;
    cancel.mutable_commandexecutionuuid()->mutable_uuid()->set_value(NewUuid());
    cancelcontroller::CancelCommand_Responses done;
    grpc::ClientContext context;
    EXPECT_EQ(DefinedErrorId(client_->cancel->CancelCommand(&context, cancel, &done)),
              "org.silastandard/core.commands/CancelController/v1/DefinedExecutionError/"
              "InvalidCommandExecutionUUID");
  }
  const auto cancelled = std::chrono::steady_clock::now();
  {
    cancelcontroller::CancelCommand_Parameters cancel;
    cancel.mutable_commandexecutionuuid()->mutable_uuid()->set_value(uuid);
    cancelcontroller::CancelCommand_Responses done;
    grpc::ClientContext context;
    ASSERT_TRUE(client_->cancel->CancelCommand(&context, cancel, &done).ok());
  }
  const auto infos = FollowInfo(*client_, uuid);
  EXPECT_LT(std::chrono::steady_clock::now() - cancelled, std::chrono::seconds(10));
  ASSERT_FALSE(infos.empty());
  EXPECT_EQ(infos.back().commandstatus(), silafw::ExecutionInfo::finishedWithError);
  prc::MeasurePlate_Responses result;
  const silafw::SiLAError error = ErrorOf(Result(*client_, uuid, &result));
  EXPECT_NE(error.undefinedexecutionerror().message().find("Cancelled"), std::string::npos);
  EXPECT_GT(sim_->reader().EotCount(), eotsBefore);

  // The reader takes the next command.
  prc::ReadFilters_Responses filters;
  grpc::ClientContext context;
  EXPECT_TRUE(client_->reader->ReadFilters(&context, {}, &filters).ok());
}

TEST_F(SilaServerTest, AClientThatGoesAwayLeavesTheResultForAnother) {
  StartOnSimulator(Reader());
  std::string uuid;
  {
    SilaClient first(NewChannel());
    prc::MeasurePlate_Parameters parameters;
    parameters.mutable_primarywavelength()->set_value(405);
    parameters.mutable_referencewavelength()->set_value(0);
    parameters.mutable_confirmplateloading()->set_value(true);
    silafw::CommandConfirmation confirmation;
    grpc::ClientContext context;
    ASSERT_TRUE(first.reader->MeasurePlate(&context, parameters, &confirmation).ok());
    uuid = confirmation.commandexecutionuuid().value();
    silafw::CommandExecutionUUID id;
    id.set_value(uuid);
    grpc::ClientContext infoContext;
    auto stream = first.reader->MeasurePlate_Info(&infoContext, id);
    silafw::ExecutionInfo info;
    ASSERT_TRUE(stream->Read(&info));
    infoContext.TryCancel();  // gone mid-measurement
    stream->Finish();
  }
  SilaClient second(NewChannel());
  const auto infos = FollowInfo(second, uuid);
  ASSERT_FALSE(infos.empty());
  EXPECT_EQ(infos.back().commandstatus(), silafw::ExecutionInfo::finishedSuccessfully);
  prc::MeasurePlate_Responses result;
  ASSERT_TRUE(Result(second, uuid, &result).ok());
  ExpectPlate(sim_->reader(), 405, result);
}

TEST_F(SilaServerTest, SilentReaderIsNotRespondingAndTheServerServesOn) {
  PtyPair silent;  // nobody answers on the far end
  StartOnDevice(silent.slavePath(), 0);
  prc::ReadFilters_Responses filters;
  grpc::ClientContext context;
  const silafw::SiLAError error = ErrorOf(client_->reader->ReadFilters(&context, {}, &filters));
  EXPECT_EQ(error.definedexecutionerror().erroridentifier(), ReaderErrorId("ReaderNotResponding"));
  EXPECT_EQ(error.definedexecutionerror().message().rfind("Reader not responding.", 0), 0u);

  silaservice::Get_ServerName_Responses name;
  grpc::ClientContext again;
  EXPECT_TRUE(client_->service->Get_ServerName(&again, {}, &name).ok());
}

TEST_F(SilaServerTest, UnknownExecutionsAreFrameworkErrors) {
  StartOnSimulator(Reader());
  prc::MeasurePlate_Responses result;
  const silafw::SiLAError error = ErrorOf(Result(*client_, NewUuid(), &result));
  EXPECT_EQ(error.frameworkerror().errortype(),
            silafw::FrameworkError::INVALID_COMMAND_EXECUTION_UUID);
}
