// The SiLA server's request decoding against arbitrary bytes: the first byte
// picks one of the reader feature's requests, the rest is parsed by the
// protobuf message's own parser and handed to the service as a client would
// send it. A request is refused with a validation or framework error or ends
// in a reader error (there is no reader behind this service: its port does
// not exist), never in a crash; what parses re-serialises to the same
// message; a SiLA error in a status decodes back to itself.
#include <google/protobuf/stubs/logging.h>
#include <grpcpp/grpcpp.h>

#include <cstddef>
#include <cstdint>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "fuzz/fuzz_check.h"
#include "sila/plate_reader_service.h"
#include "sila/sila_archive.h"
#include "sila/sila_errors.h"

namespace {

struct NoReader {
  ReaderSession session{"/nonexistent/platovix-fuzz-port"};
  ExecutionStore executions{std::chrono::seconds(60)};
  // No archive: no request here reaches a reader, and none may touch the disk.
  SilaArchive archive{std::nullopt, std::cerr};
  PlateReaderService service{session, executions, archive};
};

NoReader& Service() {
  // Strings that are not UTF-8 are refused with a log line each: noise here.
  static const bool quiet = (google::protobuf::SetLogHandler(nullptr), true);
  (void)quiet;
  static NoReader* noReader = new NoReader;  // lives as long as the process
  return *noReader;
}

// Parses, checks the round trip, and returns whether the bytes parsed.
template <typename Message>
bool Parse(const uint8_t* data, size_t size, Message* message) {
  if (!message->ParseFromArray(data, static_cast<int>(size))) return false;
  Message again;
  FUZZ_CHECK(again.ParseFromString(message->SerializeAsString()));
  FUZZ_CHECK(again.SerializeAsString() == message->SerializeAsString());
  return true;
}

// Every refusal a client sees is a decodable SiLA error.
void ExpectSilaOutcome(const grpc::Status& status) {
  if (status.ok()) return;
  silafw::SiLAError error;
  FUZZ_CHECK(DecodeSilaError(status, &error));
  FUZZ_CHECK(error.error_case() != silafw::SiLAError::ERROR_NOT_SET);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t pick = data[0] % 5;
  ++data;
  --size;
  NoReader& noReader = Service();
  grpc::ServerContext context;
  switch (pick) {
    case 0: {
      prc::CalibrateFilters_Parameters request;
      prc::CalibrateFilters_Responses response;
      if (Parse(data, size, &request))
        ExpectSilaOutcome(noReader.service.CalibrateFilters(&context, &request, &response));
      break;
    }
    case 1: {
      prc::MovePlate_Parameters request;
      prc::MovePlate_Responses response;
      if (Parse(data, size, &request))
        ExpectSilaOutcome(noReader.service.MovePlate(&context, &request, &response));
      break;
    }
    case 2: {
      // Only requests the validation refuses: a valid one would start a
      // measurement thread for every input.
      prc::MeasurePlate_Parameters request;
      if (Parse(data, size, &request)) {
        const int64_t primary = request.primarywavelength().value();
        const bool valid = request.has_primarywavelength() && primary >= 100 && primary <= 999;
        if (!valid) {
          silafw::CommandConfirmation confirmation;
          const grpc::Status status =
              noReader.service.MeasurePlate(&context, &request, &confirmation);
          FUZZ_CHECK(!status.ok());
          ExpectSilaOutcome(status);
        }
      }
      break;
    }
    case 3: {
      silafw::CommandExecutionUUID request;
      prc::MeasurePlate_Responses response;
      if (Parse(data, size, &request)) {
        const grpc::Status status =
            noReader.service.MeasurePlate_Result(&context, &request, &response);
        FUZZ_CHECK(!status.ok());  // no execution was ever started
        ExpectSilaOutcome(status);
      }
      break;
    }
    default: {
      silafw::SiLAError error;
      if (Parse(data, size, &error)) {
        silafw::SiLAError decoded;
        FUZZ_CHECK(DecodeSilaError(StatusOf(error), &decoded));
        FUZZ_CHECK(decoded.SerializeAsString() == error.SerializeAsString());
      }
      break;
    }
  }
  return 0;
}
