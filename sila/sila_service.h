// org.silastandard/core/SiLAService/v1: the server's identity and its
// feature definitions.
#pragma once

#include "SiLAService.grpc.pb.h"
#include "sila/server_identity.h"

namespace silaservice = sila2::org::silastandard::core::silaservice::v1;

class SilaService final : public silaservice::SiLAService::Service {
 public:
  explicit SilaService(ServerIdentity& identity) : identity_(identity) {}

  grpc::Status GetFeatureDefinition(grpc::ServerContext*,
                                    const silaservice::GetFeatureDefinition_Parameters* request,
                                    silaservice::GetFeatureDefinition_Responses* response) override;
  grpc::Status SetServerName(grpc::ServerContext*,
                             const silaservice::SetServerName_Parameters* request,
                             silaservice::SetServerName_Responses*) override;
  grpc::Status Get_ServerName(grpc::ServerContext*, const silaservice::Get_ServerName_Parameters*,
                              silaservice::Get_ServerName_Responses* response) override;
  grpc::Status Get_ServerType(grpc::ServerContext*, const silaservice::Get_ServerType_Parameters*,
                              silaservice::Get_ServerType_Responses* response) override;
  grpc::Status Get_ServerUUID(grpc::ServerContext*, const silaservice::Get_ServerUUID_Parameters*,
                              silaservice::Get_ServerUUID_Responses* response) override;
  grpc::Status Get_ServerDescription(
      grpc::ServerContext*, const silaservice::Get_ServerDescription_Parameters*,
      silaservice::Get_ServerDescription_Responses* response) override;
  grpc::Status Get_ServerVersion(grpc::ServerContext*,
                                 const silaservice::Get_ServerVersion_Parameters*,
                                 silaservice::Get_ServerVersion_Responses* response) override;
  grpc::Status Get_ServerVendorURL(grpc::ServerContext*,
                                   const silaservice::Get_ServerVendorURL_Parameters*,
                                   silaservice::Get_ServerVendorURL_Responses* response) override;
  grpc::Status Get_ImplementedFeatures(
      grpc::ServerContext*, const silaservice::Get_ImplementedFeatures_Parameters*,
      silaservice::Get_ImplementedFeatures_Responses* response) override;

 private:
  ServerIdentity& identity_;
};

inline constexpr char kServerType[] = "PlatovixPlateReader";
inline constexpr char kServerDescription[] =
    "A 96-well microplate photometer (DigiScan, Jupiter or Expert) on a serial line: measures "
    "plates, reads and calibrates its filters and moves its plate carrier.";
inline constexpr char kServerVersion[] = "0.1";
inline constexpr char kServerVendorUrl[] = "https://platovix.de";
