#include "sila/sila_server.h"

SilaServer::SilaServer(std::string device, SilaServerConfig config, ServerIdentity& identity)
    : config_(std::move(config)),
      reader_(std::move(device)),
      executions_(config_.lifetime),
      archive_(config_.archive, *config_.log),
      silaService_(identity),
      readerService_(reader_, executions_, archive_),
      cancelService_(reader_, executions_) {}

SilaServer::~SilaServer() {
  Stop();
}

bool SilaServer::Start(std::string* error) {
  std::shared_ptr<grpc::ServerCredentials> credentials;
  if (config_.insecure) {
    credentials = grpc::InsecureServerCredentials();
  } else {
    grpc::SslServerCredentialsOptions options;
    options.pem_key_cert_pairs.push_back({config_.keyPem, config_.certificatePem});
    credentials = grpc::SslServerCredentials(options);
  }
  grpc::ServerBuilder builder;
  builder.AddListeningPort(config_.listen, credentials, &port_);
  builder.RegisterService(&silaService_);
  builder.RegisterService(&readerService_);
  builder.RegisterService(&cancelService_);
  server_ = builder.BuildAndStart();
  if (!server_ || port_ == 0) {
    server_.reset();
    *error = "cannot listen on " + config_.listen;
    return false;
  }
  return true;
}

void SilaServer::Stop() {
  if (!server_) return;
  // The operation first: the reader is released with EOT before the calls end.
  if (reader_.Busy()) reader_.Abort();
  while (reader_.Busy()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  server_->Shutdown(std::chrono::system_clock::now() + std::chrono::seconds(2));
  server_->Wait();
  server_.reset();
}
