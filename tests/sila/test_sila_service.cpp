// The SiLAService feature and the served feature definitions, over TLS.
#include <google/protobuf/descriptor.h>
#include <sys/stat.h>

#include <map>
#include <regex>
#include <set>

#include "sila/feature_texts.h"
#include "tests/sila/sila_fixture.h"

namespace {

// Elements open and close in pairs, properly nested: what a client's XML
// parser needs first.
bool TagsBalance(const std::string& xml) {
  std::vector<std::string> open;
  const std::regex tag("<(/?)([A-Za-z][A-Za-z0-9_:]*)[^>]*?(/?)>");
  for (auto it = std::sregex_iterator(xml.begin(), xml.end(), tag); it != std::sregex_iterator();
       ++it) {
    const std::smatch& m = *it;
    if (m[3].length() > 0) continue;  // <empty/>
    if (m[1].length() == 0) {
      open.push_back(m[2]);
    } else {
      if (open.empty() || open.back() != m[2].str()) return false;
      open.pop_back();
    }
  }
  return open.empty();
}

// The Identifier of each top-level element named kind (Command, Property)
// and, for commands, whether it is observable.
std::vector<std::pair<std::string, std::string>> Elements(const std::string& xml,
                                                          const std::string& kind) {
  // Found by plain search: std::regex recurses once per character of a lazy
  // match, and a long command's body overflows the stack with it.
  std::vector<std::pair<std::string, std::string>> found;
  const std::string open = "<" + kind + ">", close = "</" + kind + ">";
  const std::regex identifier("^\\s*<Identifier>(\\w+)</Identifier>");
  for (size_t at = xml.find(open); at != std::string::npos; at = xml.find(open, at)) {
    const size_t start = at + open.size();
    const size_t end = xml.find(close, start);
    if (end == std::string::npos) break;
    const std::string body = xml.substr(start, end - start);
    std::smatch match;
    if (std::regex_search(body, match, identifier)) {
      found.push_back({match[1], body.substr(static_cast<size_t>(match.length(0)))});
    }
    at = end + close.size();
  }
  return found;
}

std::vector<std::string> Identifiers(const std::string& body, const std::string& kind) {
  std::vector<std::string> found;
  const std::regex element("<" + kind + ">\\s*<Identifier>(\\w+)</Identifier>");
  for (auto it = std::sregex_iterator(body.begin(), body.end(), element);
       it != std::sregex_iterator(); ++it)
    found.push_back((*it)[1]);
  return found;
}

std::vector<std::string> FieldNames(const google::protobuf::Descriptor* message) {
  std::vector<std::string> names;
  for (int i = 0; i < message->field_count(); ++i) names.push_back(message->field(i)->name());
  return names;
}

}  // namespace

TEST_F(SilaServerTest, EverySilaServiceCallAnswers) {
  StartOnSimulator(Reader());
  SilaClient& c = *client_;
  {
    grpc::ClientContext context;
    silaservice::Get_ServerUUID_Responses uuid;
    ASSERT_TRUE(c.service->Get_ServerUUID(&context, {}, &uuid).ok());
    EXPECT_EQ(uuid.serveruuid().value(), identity_->uuid());
    EXPECT_TRUE(std::regex_match(
        uuid.serveruuid().value(),
        std::regex("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}")));
  }
  {
    grpc::ClientContext context;
    silaservice::Get_ServerType_Responses type;
    ASSERT_TRUE(c.service->Get_ServerType(&context, {}, &type).ok());
    EXPECT_TRUE(std::regex_match(type.servertype().value(), std::regex("[A-Z][a-zA-Z0-9]*")));
  }
  {
    grpc::ClientContext context;
    silaservice::Get_ServerVersion_Responses version;
    ASSERT_TRUE(c.service->Get_ServerVersion(&context, {}, &version).ok());
    EXPECT_TRUE(std::regex_match(
        version.serverversion().value(),
        std::regex("(0|[1-9][0-9]*)\\.(0|[1-9][0-9]*)(\\.(0|[1-9][0-9]*))?(_[_a-zA-Z0-9]+)?")));
  }
  {
    grpc::ClientContext context;
    silaservice::Get_ServerVendorURL_Responses url;
    ASSERT_TRUE(c.service->Get_ServerVendorURL(&context, {}, &url).ok());
    EXPECT_TRUE(std::regex_match(url.servervendorurl().value(), std::regex("https?://.+")));
  }
  {
    grpc::ClientContext context;
    silaservice::Get_ServerDescription_Responses description;
    ASSERT_TRUE(c.service->Get_ServerDescription(&context, {}, &description).ok());
    EXPECT_FALSE(description.serverdescription().value().empty());
  }
  {
    grpc::ClientContext context;
    silaservice::Get_ServerName_Responses name;
    ASSERT_TRUE(c.service->Get_ServerName(&context, {}, &name).ok());
    EXPECT_EQ(name.servername().value(), kDefaultServerName);
  }
  {
    grpc::ClientContext context;
    silaservice::Get_ImplementedFeatures_Responses features;
    ASSERT_TRUE(c.service->Get_ImplementedFeatures(&context, {}, &features).ok());
    std::set<std::string> ids;
    for (const auto& id : features.implementedfeatures()) ids.insert(id.value());
    EXPECT_EQ(ids, (std::set<std::string>{"org.silastandard/core/SiLAService/v1",
                                          "org.silastandard/core.commands/CancelController/v1",
                                          kReaderFeatureId}));
  }
}

TEST_F(SilaServerTest, ServerNameIsKeptAcrossRestartsAndChecked) {
  StartOnSimulator(Reader());
  silaservice::SetServerName_Parameters rename;
  rename.mutable_servername()->set_value("Reader 3, bench B");
  silaservice::SetServerName_Responses done;
  {
    grpc::ClientContext context;
    ASSERT_TRUE(client_->service->SetServerName(&context, rename, &done).ok());
  }
  const std::string uuid = identity_->uuid();
  ServerIdentity again(home_.string());
  EXPECT_EQ(again.name(), "Reader 3, bench B");
  EXPECT_EQ(again.uuid(), uuid);

  rename.mutable_servername()->set_value(std::string(256, 'x'));
  grpc::ClientContext context;
  const silafw::SiLAError error = ErrorOf(client_->service->SetServerName(&context, rename, &done));
  EXPECT_EQ(error.validationerror().parameter(),
            "org.silastandard/core/SiLAService/v1/Command/SetServerName/Parameter/ServerName");
}

TEST_F(SilaServerTest, TlsMaterialIsPrivateAndReused) {
  StartOnSimulator(Reader());
  struct stat key {};
  ASSERT_EQ(stat((home_ / "platovix-sila.key").c_str(), &key), 0);
  EXPECT_EQ(key.st_mode & 0777, 0600u);
  TlsMaterial again;
  std::string error;
  ASSERT_TRUE(LoadOrCreateTlsMaterial(home_.string(), identity_->uuid(), &again, &error));
  EXPECT_EQ(again.certificatePem, certificate_);
}

TEST_F(SilaServerTest, FeatureDefinitionsAreServedAndUnknownOnesRefused) {
  StartOnSimulator(Reader());
  for (const std::string& id : ImplementedFeatureIds()) {
    silaservice::GetFeatureDefinition_Parameters ask;
    ask.mutable_featureidentifier()->set_value(id);
    silaservice::GetFeatureDefinition_Responses definition;
    grpc::ClientContext context;
    ASSERT_TRUE(client_->service->GetFeatureDefinition(&context, ask, &definition).ok()) << id;
    const std::string& xml = definition.featuredefinition().value();
    EXPECT_TRUE(TagsBalance(xml)) << id;
    EXPECT_EQ(FullyQualifiedFeatureId(xml), id);
  }
  silaservice::GetFeatureDefinition_Parameters ask;
  ask.mutable_featureidentifier()->set_value("org.silastandard/core/LockController/v2");
  silaservice::GetFeatureDefinition_Responses definition;
  grpc::ClientContext context;
  EXPECT_EQ(DefinedErrorId(client_->service->GetFeatureDefinition(&context, ask, &definition)),
            "org.silastandard/core/SiLAService/v1/DefinedExecutionError/UnimplementedFeature");
}

// Each feature definition and the proto the server answers with name the
// same commands, parameters, responses and properties.
TEST(SilaFeatureDefinitions, MatchTheServedProto) {
  const std::map<std::string, const google::protobuf::ServiceDescriptor*> services = {
      {"org.silastandard/core/SiLAService/v1",
       silaservice::GetFeatureDefinition_Parameters::descriptor()->file()->service(0)},
      {"org.silastandard/core.commands/CancelController/v1",
       cancelcontroller::CancelCommand_Parameters::descriptor()->file()->service(0)},
      {kReaderFeatureId, prc::MeasurePlate_Parameters::descriptor()->file()->service(0)}};
  for (const auto& [id, service] : services) {
    const char* text = FindFeatureDefinition(id);
    ASSERT_NE(text, nullptr) << id;
    const std::string xml = text;
    ASSERT_TRUE(TagsBalance(xml)) << id;
    const google::protobuf::FileDescriptor* file = service->file();
    const std::string package = file->package() + ".";
    size_t methods = 0;
    for (const auto& [command, body] : Elements(xml, "Command")) {
      const bool observable = body.find("<Observable>Yes</Observable>") != std::string::npos;
      ASSERT_NE(service->FindMethodByName(command), nullptr) << command;
      ++methods;
      if (observable) {
        EXPECT_NE(service->FindMethodByName(command + "_Info"), nullptr) << command;
        EXPECT_NE(service->FindMethodByName(command + "_Result"), nullptr) << command;
        methods += 2;
        if (!Identifiers(body, "IntermediateResponse").empty()) {
          EXPECT_NE(service->FindMethodByName(command + "_Intermediate"), nullptr) << command;
          ++methods;
          EXPECT_EQ(FieldNames(file->FindMessageTypeByName(command + "_IntermediateResponses")),
                    Identifiers(body, "IntermediateResponse"));
        }
      }
      EXPECT_EQ(FieldNames(file->FindMessageTypeByName(command + "_Parameters")),
                Identifiers(body, "Parameter"))
          << command;
      EXPECT_EQ(FieldNames(file->FindMessageTypeByName(command + "_Responses")),
                Identifiers(body, "Response"))
          << command;
    }
    for (const auto& [property, body] : Elements(xml, "Property")) {
      const bool observable = body.find("<Observable>Yes</Observable>") != std::string::npos;
      const std::string rpc = (observable ? "Subscribe_" : "Get_") + property;
      ASSERT_NE(service->FindMethodByName(rpc), nullptr) << rpc;
      ++methods;
      EXPECT_EQ(FieldNames(file->FindMessageTypeByName(rpc + "_Responses")),
                std::vector<std::string>{property});
    }
    EXPECT_EQ(static_cast<size_t>(service->method_count()), methods) << id;
  }
}
