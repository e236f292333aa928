// MeasureKinetic: the same plate read again and again on the measurement
// thread, each completed read stored and sent to the client as it arrives,
// the series analysed and the run's record stored when it ends.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <thread>

#include "analysis/kinetics_output.h"
#include "analysis/rate_response.h"
#include "results/result_file.h"
#include "sila/plate_reader_service.h"
#include "sila/plate_result.h"
#include "sila/reader_outcome_errors.h"
#include "sila/sila_errors.h"

namespace {

using Steady = std::chrono::steady_clock;

constexpr char kCommand[] = "MeasureKinetic";
constexpr int kMaxReads = 100000;
constexpr double kMaxIntervalSeconds = 7 * 24 * 3600;

void AddOptional(const std::optional<double>& value,
                 google::protobuf::RepeatedPtrField<silafw::Real>* list) {
  if (value) list->Add()->set_value(*value);
}

void FillWells(const analysis::KineticAnalysis& result, prc::MeasureKinetic_Responses* out) {
  for (const analysis::KineticWell& well : result.wells) {
    auto* entry = out->add_wells()->mutable_kineticwell();
    entry->mutable_well()->set_value(analysis::WellName(well.well));
    entry->mutable_name()->set_value(well.name);
    AddOptional(well.rate, entry->mutable_rate());
    AddOptional(well.r2, entry->mutable_rsquared());
    AddOptional(well.lag, entry->mutable_lag());
    entry->mutable_flags()->set_value(analysis::KineticFlagText(well.flags));
  }
}

std::string ReadMessage(int number, double elapsedSeconds, const MeasuredPlate& plate) {
  prc::MeasureKinetic_IntermediateResponses read;
  read.mutable_readnumber()->set_value(number);
  read.mutable_elapsedseconds()->set_value(elapsedSeconds);
  for (int well = 0; well < kWells; ++well) {
    const bool noValue = plate.values[well] == kNoValue;
    read.add_absorbances()->set_value(noValue ? 0.0 : plate.values[well] / 1000.0);
    if (noValue) read.add_novaluewells()->set_value(analysis::WellName(well));
  }
  return read.SerializeAsString();
}

}  // namespace

grpc::Status PlateReaderService::MeasureKinetic(grpc::ServerContext*,
                                                const prc::MeasureKinetic_Parameters* request,
                                                silafw::CommandConfirmation* response) {
  // Everything is checked before the reader is touched.
  if (!request->has_reads()) return MissingParameter(kCommand, "Reads", "The number of reads");
  if (!request->has_intervalseconds())
    return MissingParameter(kCommand, "IntervalSeconds", "The interval");
  if (!request->has_confirmplateloading())
    return MissingParameter(kCommand, "ConfirmPlateLoading", "The plate loading confirmation");
  MeasureRequest measure;
  measure.confirmPlate = request->confirmplateloading().value();
  const std::string assayText = request->assay().value();
  if (!assayText.empty()) {
    const analysis::AssayParse parse = analysis::ParseAssay(assayText);
    if (!parse.ok) {
      return ValidationFailure(ReaderParameter(kCommand, "Assay"),
                               "The assay is not valid: " + parse.error.Text());
    }
    measure.primary = parse.assay.reading.primary;
    measure.reference = parse.assay.reading.reference.value_or(0);
    measure.assay = parse.assay;
    measure.assayText = assayText;
  } else {
    const int64_t primary = request->primarywavelength().value();
    const int64_t reference = request->referencewavelength().value();
    if (primary < 100 || primary > 999) {
      return ValidationFailure(
          ReaderParameter(kCommand, "PrimaryWavelength"),
          "Without an assay the primary wavelength must be 100 to 999 nm, not " +
              std::to_string(primary) + ".");
    }
    if (reference != 0 && (reference < 100 || reference > 999)) {
      return ValidationFailure(ReaderParameter(kCommand, "ReferenceWavelength"),
                               "The reference wavelength must be 0 (none) or 100 to 999 nm, not " +
                                   std::to_string(reference) + ".");
    }
    measure.primary = static_cast<int>(primary);
    measure.reference = static_cast<int>(reference);
  }
  // Reads and interval left at 0 are the assay's series, as on the command line.
  const analysis::AssayKineticReading* planned =
      measure.assay && measure.assay->reading.kinetic ? &*measure.assay->reading.kinetic : nullptr;
  int64_t reads = request->reads().value();
  if (reads == 0 && planned) reads = planned->reads;
  if (reads < 2 || reads > kMaxReads) {
    return ValidationFailure(
        ReaderParameter(kCommand, "Reads"),
        "The number of reads must be 2 to 100000, not " + std::to_string(reads) + ".");
  }
  double interval = request->intervalseconds().value();
  if (interval == 0 && planned) interval = planned->intervalSeconds;
  if (!(interval >= 0 && interval <= kMaxIntervalSeconds)) {
    return ValidationFailure(
        ReaderParameter(kCommand, "IntervalSeconds"),
        "The interval must be 0 to 604800 seconds, not " + std::to_string(interval) + ".");
  }
  measure.reads = static_cast<int>(reads);
  measure.intervalSeconds = interval;
  analysis::KineticOptions options = measure.assay && measure.assay->kinetic
                                         ? *measure.assay->kinetic
                                         : analysis::KineticOptions{};
  const std::string mode = request->mode().value();
  if (!mode.empty()) {
    const auto named = analysis::KineticModeFromName(mode);
    if (!named) {
      return ValidationFailure(ReaderParameter(kCommand, "Mode"),
                               "The mode must be rate or growth, not '" + mode + "'.");
    }
    options.mode = *named;
  }
  measure.kinetic = options;
  return StartMeasurement(kCommand, std::move(measure), response);
}

void PlateReaderService::RunKinetic(const std::string& uuid, const MeasureRequest& request) {
  const auto interval = std::chrono::duration_cast<Steady::duration>(
      std::chrono::duration<double>(request.intervalSeconds));
  archive::RunRecord run;
  run.uuid = archive::NewUuid();
  run.operatorName = archive::LoginName();
  run.host = archive::HostName();
  run.plannedReads = request.reads;
  run.intervalSeconds = request.intervalSeconds;
  if (request.assay) {
    run.assayName = request.assay->name;
    run.assayJson = request.assayText;
  }
  std::vector<analysis::KineticRead> series;
  ReaderReport report;  // how the last read ended
  bool cancelled = false;
  std::string endMessage;    // why the run ended early
  Steady::time_point first;  // the first read's start: elapsed time 0
  for (int number = 0; number < request.reads; ++number) {
    // Read n starts n intervals after the first, or at once when the one
    // before overran; a cancel between reads ends the run here.
    const Steady::time_point due = number == 0 ? Steady::now() : first + number * interval;
    while (Steady::now() < due && !reader_.AbortRaised()) {
      std::this_thread::sleep_for(
          std::min<Steady::duration>(due - Steady::now(), std::chrono::milliseconds(50)));
    }
    if (reader_.AbortRaised()) {
      cancelled = true;
      endMessage = "Cancelled between reads.";
      break;
    }
    MeasuredPlate plate;
    plate.primary = request.primary;
    plate.reference = request.reference;
    std::fill(std::begin(plate.values), std::end(plate.values), kNoValue);
    plate.started = std::chrono::system_clock::now();
    const Steady::time_point start = Steady::now();
    if (number == 0) first = start;
    // To the millisecond, as a saved series holds it: analysing the archived
    // reads again gives the same rates.
    const double elapsed =
        std::round(std::chrono::duration<double>(start - first).count() * 1000) / 1000;
    report = reader_.Run(
        [&](TFoto& driver, PortHandle* port, DialogHandle** dialog, AbortFlag* abort) {
          driver.Measure(port, dialog, abort, plate.values, plate.primary, plate.reference,
                         plate.overRange);
        },
        nullptr, request.confirmPlate);
    plate.completed = std::chrono::system_clock::now();
    plate.readerId = reader_.ReaderId();
    archive::PlateRead record = RecordOf(plate, reader_.ReaderKind(), reader_.device());
    record.assayName = run.assayName;
    record.assayJson = run.assayJson;
    if (report.outcome != ReaderOutcome::Done) {
      // The read in flight is kept as it ended; the ones before stand.
      record.status = report.outcome == ReaderOutcome::Aborted ? archive::ReadStatus::Aborted
                                                               : archive::ReadStatus::Failed;
      record.message = report.message;
      archive_.Store(record);
      cancelled = report.outcome == ReaderOutcome::Aborted;
      endMessage = report.message;
      break;
    }
    if (run.reads.empty()) {
      run.started = record.started;
      run.readerFamily = record.readerFamily;
      run.readerId = record.readerId;
    }
    if (!archive_.Store(record).empty()) {
      run.reads.push_back({record.uuid, elapsed, record.started, record.completed});
    }
    analysis::KineticRead read;
    read.seconds = elapsed;
    std::copy(std::begin(plate.values), std::end(plate.values), read.values.begin());
    std::copy(std::begin(plate.overRange), std::end(plate.overRange), read.overRange.begin());
    series.push_back(read);
    executions_.AddIntermediate(uuid, ReadMessage(number + 1, elapsed, plate));
    const int left = request.reads - number - 1;
    executions_.SetProgress(uuid, static_cast<double>(number + 1) / request.reads,
                            left * request.intervalSeconds);
  }
  reader_.Release();

  const bool failed = !cancelled && report.outcome != ReaderOutcome::Done;
  run.completed = FormatIsoLocalTime(std::chrono::system_clock::now());
  run.status = failed      ? archive::ReadStatus::Failed
               : cancelled ? archive::ReadStatus::Aborted
                           : archive::ReadStatus::Completed;
  run.message = endMessage;
  const analysis::PlateLayout* layout = request.assay ? &request.assay->layout : nullptr;
  const analysis::KineticAnalysis result =
      analysis::AnalyseKinetics(series, layout, *request.kinetic);
  // An assay of rates: the rates through its standard curve, QC and verdict.
  std::optional<analysis::PlateAnalysis> rates;
  if (request.assay && request.assay->rateResponse &&
      request.kinetic->mode == analysis::KineticMode::Rate && !series.empty()) {
    rates = analysis::AnalyseRates(result, request.assay->layout, request.assay->Options());
  }
  if (!series.empty()) {
    run.analysisJson = analysis::KineticsJson(result, rates ? &*rates : nullptr).dump();
  }
  const std::string recordUuid = archive_.StoreRun(run);
  // A failed read, or a cancel before any read, leaves nothing to report.
  if (failed || series.empty()) {
    executions_.Fail(
        uuid, ErrorForReport(failed ? report : ReaderReport{ReaderOutcome::Aborted, endMessage}));
    archive_.ForwardLater();
    return;
  }
  prc::MeasureKinetic_Responses response;
  FillWells(result, &response);
  response.mutable_readscompleted()->set_value(static_cast<int64_t>(series.size()));
  response.mutable_status()->set_value(archive::StatusName(run.status));
  response.mutable_recorduuid()->set_value(recordUuid);
  if (rates) {
    auto* analysed = response.add_rateanalysis()->mutable_rateanalysis();
    FillCurve(rates->fit, analysed->mutable_standardcurve()->mutable_standardcurve());
    FillAnalysis(*rates, analysed);
  }
  executions_.Succeed(uuid, response.SerializeAsString());
  archive_.ForwardLater();
}
