#include "sila/reader_outcome_errors.h"

namespace {

// The driver's text, or the fallback when it left none.
std::string Text(const std::string& message, const char* fallback) {
  return message.empty() ? fallback : message;
}

}  // namespace

silafw::SiLAError ErrorForReport(const ReaderReport& report) {
  switch (report.outcome) {
    case ReaderOutcome::NotResponding:
      return ReaderError("ReaderNotResponding", report.message.empty()
                                                    ? "Reader not responding."
                                                    : "Reader not responding. " + report.message);
    case ReaderOutcome::FilterMissing:
      return ReaderError("FilterNotInReader", report.message);
    case ReaderOutcome::PlateNotConfirmed:
      return ReaderError("PlateNotConfirmed",
                         "The reader asked for its plate and the plate loading was not confirmed.");
    case ReaderOutcome::Aborted: {
      silafw::SiLAError error;
      error.mutable_undefinedexecutionerror()->set_message("Cancelled: " +
                                                           Text(report.message, "User aborted."));
      return error;
    }
    case ReaderOutcome::NoPort:
    case ReaderOutcome::Failed:
    case ReaderOutcome::Done:
      break;
  }
  return ReaderError("ReaderFailure", Text(report.message, "Reader failure."));
}

silafw::SiLAError ReaderBusyError() {
  return ReaderError("ReaderBusy", "Another command is running on the reader.");
}
