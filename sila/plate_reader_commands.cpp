// The unobservable commands on the reader (filters, calibration, the plate
// carrier) and the properties read without it.
#include <set>

#include "sila/plate_reader_service.h"
#include "sila/reader_outcome_errors.h"
#include "sila/sila_errors.h"

namespace {

constexpr int kPositions = 6;
constexpr size_t kRecentReads = 20;

bool CalibrationWavelengthOk(int64_t nm) {
  return nm == 0 || (nm >= 200 && nm <= 999);
}

void AddIntegers(const std::vector<int>& values,
                 google::protobuf::RepeatedPtrField<silafw::Integer>* list) {
  for (int value : values) list->Add()->set_value(value);
}

}  // namespace

grpc::Status PlateReaderService::ReadFilters(grpc::ServerContext*,
                                             const prc::ReadFilters_Parameters*,
                                             prc::ReadFilters_Responses* response) {
  if (!reader_.TryClaim()) return StatusOf(ReaderBusyError());
  int32_t wavelengths[64] = {};
  int32_t count = 0;
  const ReaderReport report = reader_.Run(
      [&](TFoto& driver, PortHandle* port, DialogHandle** dialog, AbortFlag* abort) {
        driver.ReadFilters(port, dialog, abort, wavelengths, &count);
      },
      nullptr, false);
  if (report.outcome == ReaderOutcome::Done) {
    reader_.RememberFilters(wavelengths, kPositions);
    AddIntegers(reader_.Filters(), response->mutable_filters());
    response->mutable_readeridentification()->set_value(reader_.ReaderId());
  }
  reader_.Release();
  if (report.outcome != ReaderOutcome::Done) return StatusOf(ErrorForReport(report));
  return grpc::Status::OK;
}

grpc::Status PlateReaderService::CalibrateFilters(grpc::ServerContext*,
                                                  const prc::CalibrateFilters_Parameters* request,
                                                  prc::CalibrateFilters_Responses* response) {
  const std::string parameter = ReaderParameter("CalibrateFilters", "Calibrations");
  if (request->calibrations_size() == 0)
    return ValidationFailure(parameter, "Name at least one filter position to calibrate.");
  int32_t wavelengths[64] = {};
  int32_t flags[64] = {};
  const std::vector<int> known = reader_.Filters();
  for (size_t i = 0; i < known.size() && i < kPositions; ++i) wavelengths[i] = known[i];
  std::set<int64_t> named;
  for (const auto& calibration : request->calibrations()) {
    if (!calibration.has_position())
      return ValidationFailure(parameter, "A calibration names no filter position.");
    if (!calibration.has_wavelength())
      return ValidationFailure(parameter, "A calibration names no wavelength.");
    const int64_t position = calibration.position().value();
    const int64_t nm = calibration.wavelength().value();
    if (position < 1 || position > kPositions)
      return ValidationFailure(
          parameter, "A filter position must be 1 to 6, not " + std::to_string(position) + ".");
    if (!CalibrationWavelengthOk(nm))
      return ValidationFailure(
          parameter, "The wavelength for position " + std::to_string(position) +
                         " must be 0 (clear) or 200 to 999 nm, not " + std::to_string(nm) + ".");
    if (!named.insert(position).second)
      return ValidationFailure(parameter,
                               "Filter position " + std::to_string(position) + " is named twice.");
    wavelengths[position - 1] = static_cast<int32_t>(nm);
    flags[position - 1] = 1;
  }
  if (!reader_.TryClaim()) return StatusOf(ReaderBusyError());
  int32_t count = kPositions;
  const ReaderReport report = reader_.Run(
      [&](TFoto& driver, PortHandle* port, DialogHandle** dialog, AbortFlag* abort) {
        driver.Calibrate(port, dialog, abort, wavelengths, flags, &count);
      },
      nullptr, false);
  if (report.outcome == ReaderOutcome::Done) {
    reader_.RememberFilters(wavelengths, kPositions);
    AddIntegers(reader_.Filters(), response->mutable_filters());
  }
  reader_.Release();
  if (report.outcome != ReaderOutcome::Done) return StatusOf(ErrorForReport(report));
  return grpc::Status::OK;
}

grpc::Status PlateReaderService::MovePlate(grpc::ServerContext*,
                                           const prc::MovePlate_Parameters* request,
                                           prc::MovePlate_Responses*) {
  if (!request->has_direction()) return MissingParameter("MovePlate", "Direction", "The direction");
  const std::string& direction = request->direction().value();
  if (direction != "In" && direction != "Out") {
    return ValidationFailure(ReaderParameter("MovePlate", "Direction"),
                             "The direction must be In or Out, not '" + direction + "'.");
  }
  if (!reader_.TryClaim()) return StatusOf(ReaderBusyError());
  const ReaderReport report = reader_.Run(
      [&](TFoto& driver, PortHandle* port, DialogHandle** dialog, AbortFlag* abort) {
        driver.MovePlate(port, dialog, abort, direction == "Out");
      },
      nullptr, false);
  reader_.Release();
  if (report.outcome != ReaderOutcome::Done) return StatusOf(ErrorForReport(report));
  return grpc::Status::OK;
}

grpc::Status PlateReaderService::Get_ReaderIdentification(
    grpc::ServerContext*, const prc::Get_ReaderIdentification_Parameters*,
    prc::Get_ReaderIdentification_Responses* response) {
  response->mutable_readeridentification()->set_value(reader_.ReaderId());
  return grpc::Status::OK;
}

grpc::Status PlateReaderService::Get_Filters(grpc::ServerContext*,
                                             const prc::Get_Filters_Parameters*,
                                             prc::Get_Filters_Responses* response) {
  AddIntegers(reader_.Filters(), response->mutable_filters());
  return grpc::Status::OK;
}

grpc::Status PlateReaderService::Get_RecentReads(grpc::ServerContext*,
                                                 const prc::Get_RecentReads_Parameters*,
                                                 prc::Get_RecentReads_Responses* response) {
  std::vector<archive::ReadSummary> reads;
  std::string error;
  if (!archive_.Recent(kRecentReads, &reads, &error))
    return UndefinedFailure("The plate archive cannot be read: " + error);
  for (const archive::ReadSummary& read : reads) {
    auto* entry = response->add_recentreads()->mutable_archivedread();
    entry->mutable_recorduuid()->set_value(read.uuid);
    entry->mutable_time()->set_value(read.atUtc);
    entry->mutable_plateid()->set_value(read.plateId);
    entry->mutable_assay()->set_value(read.assay);
    entry->mutable_status()->set_value(read.status);
    entry->mutable_operator_()->set_value(read.operatorName);
  }
  return grpc::Status::OK;
}
