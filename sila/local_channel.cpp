#include "sila/local_channel.h"

std::shared_ptr<grpc::Channel> LocalTlsChannel(int port, const std::string& certificatePem) {
  grpc::SslCredentialsOptions options;
  options.pem_root_certs = certificatePem;
  grpc::ChannelArguments arguments;
  arguments.SetInt(GRPC_ARG_USE_LOCAL_SUBCHANNEL_POOL, 1);
  // The certificate names localhost, not 127.0.0.1.
  return grpc::CreateCustomChannel("localhost:" + std::to_string(port),
                                   grpc::SslCredentials(options), arguments);
}
