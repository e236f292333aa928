#include "sila/sila_errors.h"

#include <openssl/evp.h>

#include "sila/feature_texts.h"

grpc::Status StatusOf(const silafw::SiLAError& error) {
  return grpc::Status(grpc::StatusCode::ABORTED, Base64Encode(error.SerializeAsString()));
}

grpc::Status ValidationFailure(const std::string& parameter, const std::string& message) {
  silafw::SiLAError error;
  error.mutable_validationerror()->set_parameter(parameter);
  error.mutable_validationerror()->set_message(message);
  return StatusOf(error);
}

grpc::Status DefinedFailure(const std::string& errorIdentifier, const std::string& message) {
  silafw::SiLAError error;
  error.mutable_definedexecutionerror()->set_erroridentifier(errorIdentifier);
  error.mutable_definedexecutionerror()->set_message(message);
  return StatusOf(error);
}

grpc::Status UndefinedFailure(const std::string& message) {
  silafw::SiLAError error;
  error.mutable_undefinedexecutionerror()->set_message(message);
  return StatusOf(error);
}

grpc::Status FrameworkFailure(silafw::FrameworkError::ErrorType type, const std::string& message) {
  silafw::SiLAError error;
  error.mutable_frameworkerror()->set_errortype(type);
  error.mutable_frameworkerror()->set_message(message);
  return StatusOf(error);
}

silafw::SiLAError ReaderError(const std::string& name, const std::string& message) {
  silafw::SiLAError error;
  error.mutable_definedexecutionerror()->set_erroridentifier(std::string(kReaderFeatureId) +
                                                             "/DefinedExecutionError/" + name);
  error.mutable_definedexecutionerror()->set_message(message);
  return error;
}

std::string ReaderParameter(const std::string& command, const std::string& parameter) {
  return std::string(kReaderFeatureId) + "/Command/" + command + "/Parameter/" + parameter;
}

grpc::Status MissingParameter(const std::string& command, const std::string& parameter,
                              const std::string& what) {
  return ValidationFailure(ReaderParameter(command, parameter), what + " is missing.");
}

bool DecodeSilaError(const grpc::Status& status, silafw::SiLAError* error) {
  std::string bytes;
  return status.error_code() == grpc::StatusCode::ABORTED &&
         Base64Decode(status.error_message(), &bytes) && error->ParseFromString(bytes);
}

std::string Base64Encode(const std::string& bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                                     reinterpret_cast<const unsigned char*>(bytes.data()),
                                     static_cast<int>(bytes.size()));
  text.resize(static_cast<size_t>(length));
  return text;
}

bool Base64Decode(const std::string& text, std::string* bytes) {
  if (text.size() % 4 != 0) return false;
  std::string out(3 * text.size() / 4 + 1, '\0');
  const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                     reinterpret_cast<const unsigned char*>(text.data()),
                                     static_cast<int>(text.size()));
  if (length < 0) return false;
  // EVP_DecodeBlock counts the padding as zero bytes.
  size_t size = static_cast<size_t>(length);
  for (size_t i = text.size(); i > 0 && text[i - 1] == '=' && size > 0; --i) --size;
  out.resize(size);
  *bytes = std::move(out);
  return true;
}
