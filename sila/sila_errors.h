// SiLA errors as gRPC carries them: status ABORTED whose message is the
// serialised SiLAError, base64-encoded.
#pragma once

#include <grpcpp/grpcpp.h>

#include <string>

#include "SiLAFramework.pb.h"

namespace silafw = sila2::org::silastandard;

// parameter: the fully qualified parameter identifier.
grpc::Status ValidationFailure(const std::string& parameter, const std::string& message);
// errorIdentifier: the fully qualified defined execution error identifier.
grpc::Status DefinedFailure(const std::string& errorIdentifier, const std::string& message);
grpc::Status UndefinedFailure(const std::string& message);
grpc::Status FrameworkFailure(silafw::FrameworkError::ErrorType type, const std::string& message);
grpc::Status StatusOf(const silafw::SiLAError& error);

// A defined execution error of our reader feature by its short name.
silafw::SiLAError ReaderError(const std::string& name, const std::string& message);
// The fully qualified identifier of a parameter of one of our commands.
std::string ReaderParameter(const std::string& command, const std::string& parameter);
// The validation error of a parameter of one of our commands the client
// left out; what names it ("The direction").
grpc::Status MissingParameter(const std::string& command, const std::string& parameter,
                              const std::string& what);

// The SiLAError a status carries; false for any other status.
bool DecodeSilaError(const grpc::Status& status, silafw::SiLAError* error);

std::string Base64Encode(const std::string& bytes);
// False when text is not base64.
bool Base64Decode(const std::string& text, std::string* bytes);
