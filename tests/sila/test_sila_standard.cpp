// The server held to the SiLA 2 standard's own files: its schema checks
// every feature definition served, the core features are the standard's,
// and a client built from the protos the standard's stylesheet made gets a
// validation error naming the parameter for each missing or invalid one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <sstream>

#include "sila/reader_session.h"
#include "sila_fixture.h"
#include "tests/support/test_paths.h"

namespace {

const std::filesystem::path kStandard =
    std::filesystem::path(test_paths::SourceDir()) / "third_party" / "sila2";

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The integer values a <Set> in the parameter or element `identifier` allows.
std::set<int> AllowedValues(const std::string& fdl, const std::string& identifier) {
  const size_t at = fdl.find("<Identifier>" + identifier + "</Identifier>");
  const size_t open = fdl.find("<Set>", at);
  const size_t close = fdl.find("</Set>", open);
  std::set<int> values;
  const std::string set = fdl.substr(open, close - open);
  const std::regex value("<Value>(-?[0-9]+)</Value>");
  for (auto it = std::sregex_iterator(set.begin(), set.end(), value); it != std::sregex_iterator();
       ++it)
    values.insert(std::stoi((*it)[1].str()));
  return values;
}

std::string ServiceParameter(const std::string& command, const std::string& parameter) {
  return "org.silastandard/core/SiLAService/v1/Command/" + command + "/Parameter/" + parameter;
}

}  // namespace

TEST(SilaStandardFiles, EveryServedFeatureDefinitionPassesTheStandardsSchema) {
  char pattern[] = "/tmp/platovix-fdl-XXXXXX";
  const std::filesystem::path folder = mkdtemp(pattern);
  ASSERT_EQ(FeatureTexts().size(), 3u);
  for (const FeatureText& feature : FeatureTexts()) {
    const std::filesystem::path file = folder / feature.file;
    std::ofstream(file) << feature.text;
    const std::string command = "xmllint --noout --nonet --schema '" +
                                (kStandard / "schema/FeatureDefinition.xsd").string() + "' '" +
                                file.string() + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << feature.file;
  }
  std::filesystem::remove_all(folder);
}

TEST(SilaStandardFiles, CoreFeaturesAreTheStandardsOwn) {
  const std::map<std::string, std::string> core = {
      {"org.silastandard/core/SiLAService/v1", "SiLAService.sila.xml"},
      {"org.silastandard/core.commands/CancelController/v1", "CancelController.sila.xml"}};
  for (const auto& [id, file] : core) {
    const char* served = FindFeatureDefinition(id);
    ASSERT_NE(served, nullptr) << id;
    EXPECT_EQ(served, ReadFile(kStandard / "feature_definitions" / file)) << id;
  }
}

TEST(SilaStandardFiles, ACancelReachesOnlyTheExecutionItNames) {
  ReaderSession reader("/dev/null");
  ASSERT_TRUE(reader.TryClaim());
  reader.SetExecution("first");
  reader.Release();  // the first execution ends ...
  ASSERT_TRUE(reader.TryClaim());
  reader.SetExecution("second");  // ... and the next one holds the reader
  EXPECT_FALSE(reader.AbortExecution("first"));
  EXPECT_TRUE(reader.AbortExecution("second"));
  reader.Release();
  EXPECT_FALSE(reader.AbortExecution("second"));
}

TEST_F(SilaServerTest, EveryMissingOrInvalidParameterNamesItself) {
  StartOnSimulator(Reader());
  SilaClient& c = *client_;
  // Each call with the parameter identifier its validation error must name.
  std::vector<std::pair<std::function<grpc::Status(grpc::ClientContext*)>, std::string>> calls;
  const auto add = [&](auto call, const std::string& parameter) {
    calls.emplace_back(call, parameter);
  };

  const auto featureDefinition = [&](std::optional<std::string> id) {
    return [&c, id](grpc::ClientContext* context) {
      silaservice::GetFeatureDefinition_Parameters ask;
      if (id) ask.mutable_featureidentifier()->set_value(*id);
      silaservice::GetFeatureDefinition_Responses answer;
      return c.service->GetFeatureDefinition(context, ask, &answer);
    };
  };
  const std::string featureId = ServiceParameter("GetFeatureDefinition", "FeatureIdentifier");
  for (const char* bad : {"SiLAService", "", "org.silastandard/core/SiLAService",
                          "org.silastandard/core/SiLAService/1", "Org/core/SiLAService/v1"})
    add(featureDefinition(bad), featureId);
  add(featureDefinition(std::nullopt), featureId);

  const auto rename = [&](std::optional<std::string> name) {
    return [&c, name](grpc::ClientContext* context) {
      silaservice::SetServerName_Parameters request;
      if (name) request.mutable_servername()->set_value(*name);
      silaservice::SetServerName_Responses done;
      return c.service->SetServerName(context, request, &done);
    };
  };
  add(rename(std::nullopt), ServiceParameter("SetServerName", "ServerName"));
  add(rename(std::string(256, 'x')), ServiceParameter("SetServerName", "ServerName"));

  const auto cancel = [&](std::optional<std::string> uuid) {
    return [&c, uuid](grpc::ClientContext* context) {
      cancelcontroller::CancelCommand_Parameters request;
      if (uuid) request.mutable_commandexecutionuuid()->mutable_uuid()->set_value(*uuid);
      cancelcontroller::CancelCommand_Responses done;
      return c.cancel->CancelCommand(context, request, &done);
    };
  };
  const std::string uuidParameter =
      "org.silastandard/core.commands/CancelController/v1/Command/CancelCommand/Parameter/"
      "CommandExecutionUUID";
  add(cancel(std::nullopt), uuidParameter);
  add(cancel("not-a-uuid"), uuidParameter);

  // MeasurePlate: a full request less one parameter, or with one out of range.
  const auto measure = [&](std::function<void(prc::MeasurePlate_Parameters&)> change) {
    return [&c, change](grpc::ClientContext* context) {
      prc::MeasurePlate_Parameters request;
      request.mutable_primarywavelength()->set_value(450);
      request.mutable_referencewavelength()->set_value(0);
      request.mutable_confirmplateloading()->set_value(true);
      change(request);
      silafw::CommandConfirmation confirmation;
      return c.reader->MeasurePlate(context, request, &confirmation);
    };
  };
  const std::string primary = ReaderParameter("MeasurePlate", "PrimaryWavelength");
  const std::string reference = ReaderParameter("MeasurePlate", "ReferenceWavelength");
  add(measure([](auto& r) { r.clear_primarywavelength(); }), primary);
  add(measure([](auto& r) { r.clear_referencewavelength(); }), reference);
  add(measure([](auto& r) { r.clear_confirmplateloading(); }),
      ReaderParameter("MeasurePlate", "ConfirmPlateLoading"));
  for (int nm : {-1, 0, 99, 1000})
    add(measure([nm](auto& r) { r.mutable_primarywavelength()->set_value(nm); }), primary);
  // Every reference the feature definition does not allow is refused.
  const std::string fdl = FindFeatureDefinition(kReaderFeatureId);
  const std::set<int> references = AllowedValues(fdl, "ReferenceWavelength");
  for (int nm = -1; nm <= 1000; ++nm) {
    if (references.count(nm) == 0)
      add(measure([nm](auto& r) { r.mutable_referencewavelength()->set_value(nm); }), reference);
  }

  const auto calibrate = [&](std::function<void(prc::CalibrateFilters_Parameters&)> fill) {
    return [&c, fill](grpc::ClientContext* context) {
      prc::CalibrateFilters_Parameters request;
      fill(request);
      prc::CalibrateFilters_Responses filters;
      return c.reader->CalibrateFilters(context, request, &filters);
    };
  };
  const std::string calibrations = ReaderParameter("CalibrateFilters", "Calibrations");
  add(calibrate([](auto&) {}), calibrations);
  add(calibrate([](auto& r) { r.add_calibrations()->mutable_wavelength()->set_value(450); }),
      calibrations);
  add(calibrate([](auto& r) { r.add_calibrations()->mutable_position()->set_value(2); }),
      calibrations);
  const std::set<int> wavelengths = AllowedValues(fdl, "Wavelength");
  for (int nm = -1; nm <= 1000; ++nm) {
    if (wavelengths.count(nm) != 0) continue;
    add(calibrate([nm](auto& r) {
          auto* entry = r.add_calibrations();
          entry->mutable_position()->set_value(2);
          entry->mutable_wavelength()->set_value(nm);
        }),
        calibrations);
  }

  const auto move = [&](std::optional<std::string> direction) {
    return [&c, direction](grpc::ClientContext* context) {
      prc::MovePlate_Parameters request;
      if (direction) request.mutable_direction()->set_value(*direction);
      prc::MovePlate_Responses moved;
      return c.reader->MovePlate(context, request, &moved);
    };
  };
  add(move(std::nullopt), ReaderParameter("MovePlate", "Direction"));
  add(move("in"), ReaderParameter("MovePlate", "Direction"));

  for (size_t i = 0; i < calls.size(); ++i) {
    grpc::ClientContext context;
    const silafw::SiLAError error = ErrorOf(calls[i].first(&context));
    EXPECT_TRUE(error.has_validationerror()) << "call " << i;
    EXPECT_EQ(error.validationerror().parameter(), calls[i].second) << "call " << i;
    EXPECT_FALSE(error.validationerror().message().empty()) << "call " << i;
  }
  EXPECT_TRUE(sim_->reader().Commands().empty());
}
