#include "cli/archive_reading.h"

#include <algorithm>

#include "cli/archive_config.h"
#include "results/result_file_reader.h"

std::unique_ptr<archive::Archive> OpenArchiveToRead(const CliOptions& options, std::ostream& err) {
  const archive::StoreConfig config = ArchiveConfigFor(options);
  std::vector<std::string> messages;
  std::string error;
  bool unreachable = false;
  std::unique_ptr<archive::Archive> opened =
      archive::OpenArchiveForReading(config, &messages, &error, &unreachable);
  // A lab server that answered without the archive's schema is said, not hidden.
  if (!opened && unreachable) {
    // The lab server is down: what this computer holds can still be shown.
    err << "platovix-cli: the lab archive cannot be reached (" << error
        << "); showing the local archive\n";
    archive::StoreConfig local = config;
    local.labUrl.clear();
    opened = archive::OpenArchiveForReading(local, &messages, &error);
  }
  for (const std::string& message : messages) err << "platovix-cli: " << message << '\n';
  if (!opened) err << "platovix-cli: cannot open the archive: " << error << '\n';
  return opened;
}

void PlateOfRecord(const archive::PlateRead& read, TPlateResult* plate, ResultContext* context) {
  std::copy(read.values.begin(), read.values.end(), plate->nValue);
  std::copy(read.overRange.begin(), read.overRange.end(), plate->bOverRange);
  plate->nPrimary = read.primaryNm;
  plate->nReference = read.referenceNm;
  plate->bValid = read.status == archive::ReadStatus::Completed ? 1 : 0;
  *context = ResultContext{read.readerFamily, read.readerId, std::nullopt, std::nullopt};
  std::chrono::system_clock::time_point when;
  if (ParseIsoTime(read.started, &when)) context->started = when;
  if (ParseIsoTime(read.completed, &when)) context->completed = when;
}
