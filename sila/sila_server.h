// The gRPC server with the three features on one reader. Start binds the
// listening address; Stop cancels the running operation (the reader gets
// EOT), waits for it and ends every call.
#pragma once

#include <grpcpp/grpcpp.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "sila/cancel_service.h"
#include "sila/execution_store.h"
#include "sila/plate_reader_service.h"
#include "sila/reader_session.h"
#include "sila/server_identity.h"
#include "sila/sila_archive.h"
#include "sila/sila_service.h"

struct SilaServerConfig {
  std::string listen = "[::]:50052";
  bool insecure = false;
  std::string certificatePem;  // with TLS: the server's certificate and key
  std::string keyPem;
  std::chrono::seconds lifetime{3600};          // how long a finished execution stays fetchable
  std::optional<archive::StoreConfig> archive;  // where reads are stored; nullopt: nowhere
  std::ostream* log = &std::cerr;               // the server's log: archive warnings
};

class SilaServer {
 public:
  // device: the reader's port as ResolveReaderDevice gave it.
  SilaServer(std::string device, SilaServerConfig config, ServerIdentity& identity);
  ~SilaServer();

  // False with the reason when the address cannot be bound.
  bool Start(std::string* error);
  int port() const { return port_; }
  void Stop();

  ReaderSession& reader() { return reader_; }

 private:
  SilaServerConfig config_;
  ReaderSession reader_;
  ExecutionStore executions_;
  SilaArchive archive_;
  SilaService silaService_;
  PlateReaderService readerService_;
  CancelService cancelService_;
  std::unique_ptr<grpc::Server> server_;
  int port_ = 0;
};
