// The server's TLS certificate and key: made once at first start (a
// self-signed certificate for this host, the server UUID inside) and kept
// beside the settings file, the key readable by its owner only.
#pragma once

#include <string>

struct TlsMaterial {
  std::string certificatePem;
  std::string keyPem;
};

// Reads directory/platovix-sila.crt and .key, or makes and stores a new
// pair. False with the reason when neither works.
bool LoadOrCreateTlsMaterial(const std::string& directory, const std::string& serverUuid,
                             TlsMaterial* material, std::string* error);

// Makes a new self-signed pair in memory.
bool CreateSelfSignedMaterial(const std::string& serverUuid, TlsMaterial* material,
                              std::string* error);
