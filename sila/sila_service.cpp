#include "sila/sila_service.h"

#include <regex>

#include "sila/feature_texts.h"
#include "sila/sila_errors.h"

namespace {

constexpr char kSiLAServiceId[] = "org.silastandard/core/SiLAService/v1";
constexpr size_t kMaximalNameLength = 255;

// Originator/Category/Identifier/vMajor, each part as FeatureDefinition.xsd
// allows it.
bool IsFullyQualifiedFeatureId(const std::string& id) {
  static const std::regex pattern("[a-z][a-z.]*/[a-z][a-z.]*/[A-Z][a-zA-Z0-9]{0,254}/v[0-9]+");
  return std::regex_match(id, pattern);
}

}  // namespace

grpc::Status SilaService::GetFeatureDefinition(
    grpc::ServerContext*, const silaservice::GetFeatureDefinition_Parameters* request,
    silaservice::GetFeatureDefinition_Responses* response) {
  const std::string parameter =
      std::string(kSiLAServiceId) + "/Command/GetFeatureDefinition/Parameter/FeatureIdentifier";
  if (!request->has_featureidentifier())
    return ValidationFailure(parameter, "The feature identifier is missing.");
  const std::string& id = request->featureidentifier().value();
  if (!IsFullyQualifiedFeatureId(id)) {
    return ValidationFailure(parameter, "'" + id +
                                            "' is not a fully qualified feature identifier "
                                            "(originator/category/Feature/vMajor).");
  }
  const char* definition = FindFeatureDefinition(id);
  if (definition == nullptr) {
    return DefinedFailure(
        std::string(kSiLAServiceId) + "/DefinedExecutionError/UnimplementedFeature",
        "The server does not implement the feature '" + id + "'.");
  }
  response->mutable_featuredefinition()->set_value(definition);
  return grpc::Status::OK;
}

grpc::Status SilaService::SetServerName(grpc::ServerContext*,
                                        const silaservice::SetServerName_Parameters* request,
                                        silaservice::SetServerName_Responses*) {
  if (!request->has_servername()) {
    return ValidationFailure(
        std::string(kSiLAServiceId) + "/Command/SetServerName/Parameter/ServerName",
        "The server name is missing.");
  }
  const std::string& name = request->servername().value();
  if (name.empty() || name.size() > kMaximalNameLength) {
    return ValidationFailure(
        std::string(kSiLAServiceId) + "/Command/SetServerName/Parameter/ServerName",
        "The server name must be 1 to 255 characters long.");
  }
  std::string error;
  if (!identity_.SetName(name, &error)) {
    return UndefinedFailure("The name is in use but could not be stored: " + error);
  }
  return grpc::Status::OK;
}

grpc::Status SilaService::Get_ServerName(grpc::ServerContext*,
                                         const silaservice::Get_ServerName_Parameters*,
                                         silaservice::Get_ServerName_Responses* response) {
  response->mutable_servername()->set_value(identity_.name());
  return grpc::Status::OK;
}

grpc::Status SilaService::Get_ServerType(grpc::ServerContext*,
                                         const silaservice::Get_ServerType_Parameters*,
                                         silaservice::Get_ServerType_Responses* response) {
  response->mutable_servertype()->set_value(kServerType);
  return grpc::Status::OK;
}

grpc::Status SilaService::Get_ServerUUID(grpc::ServerContext*,
                                         const silaservice::Get_ServerUUID_Parameters*,
                                         silaservice::Get_ServerUUID_Responses* response) {
  response->mutable_serveruuid()->set_value(identity_.uuid());
  return grpc::Status::OK;
}

grpc::Status SilaService::Get_ServerDescription(
    grpc::ServerContext*, const silaservice::Get_ServerDescription_Parameters*,
    silaservice::Get_ServerDescription_Responses* response) {
  response->mutable_serverdescription()->set_value(kServerDescription);
  return grpc::Status::OK;
}

grpc::Status SilaService::Get_ServerVersion(grpc::ServerContext*,
                                            const silaservice::Get_ServerVersion_Parameters*,
                                            silaservice::Get_ServerVersion_Responses* response) {
  response->mutable_serverversion()->set_value(kServerVersion);
  return grpc::Status::OK;
}

grpc::Status SilaService::Get_ServerVendorURL(
    grpc::ServerContext*, const silaservice::Get_ServerVendorURL_Parameters*,
    silaservice::Get_ServerVendorURL_Responses* response) {
  response->mutable_servervendorurl()->set_value(kServerVendorUrl);
  return grpc::Status::OK;
}

grpc::Status SilaService::Get_ImplementedFeatures(
    grpc::ServerContext*, const silaservice::Get_ImplementedFeatures_Parameters*,
    silaservice::Get_ImplementedFeatures_Responses* response) {
  for (const std::string& id : ImplementedFeatureIds())
    response->add_implementedfeatures()->set_value(id);
  return grpc::Status::OK;
}
