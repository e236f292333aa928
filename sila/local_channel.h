// A client channel to a server on this machine over TLS, trusting only the
// server's own certificate: for the tests and benchmarks.
#pragma once

#include <grpcpp/grpcpp.h>

#include <memory>
#include <string>

// A new connection each time (no shared subchannel), as another client's.
std::shared_ptr<grpc::Channel> LocalTlsChannel(int port, const std::string& certificatePem);
