#include "cli/archive_config.h"

#include <platovix_version.h>

#include "archive/archive_url.h"
#include "archive/postgres_archive.h"
#include "archive/read_analysis.h"
#include "archive/utf8.h"
#include "results/shared_state.h"

archive::StoreConfig ArchiveConfigFor(const CliOptions& options) {
  archive::StoreConfig config;
  const std::string url = options.archiveUrl.value_or(AppSettings.ArchiveUrl);
  if (archive::IsPostgresUrl(url)) {
    config.labUrl = url;
  } else {
    config.localPath = url;  // a SQLite file; empty: the default one
  }
  return config;
}

bool ArchivingOn(const CliOptions& options) {
  return !options.noArchive && (AppSettings.ArchiveEnabled != 0 || options.archiveUrl);
}

bool ArchiveRefused(const CliOptions& options, std::string* why) {
  if (!ArchivingOn(options)) return false;
  const std::string url = options.archiveUrl.value_or(AppSettings.ArchiveUrl);
  return archive::KindOfArchive(url, why) == archive::ArchiveKind::Invalid;
}

archive::StoreOutcome StoreReadFirst(const CliOptions& options, const archive::PlateRead& read,
                                     std::ostream& err) {
  archive::StoreConfig config = ArchiveConfigFor(options);
  config.forwardNow = false;  // after the result is out: ForwardAfterShown
  const archive::StoreOutcome outcome = archive::StoreRead(config, read);
  for (const std::string& message : outcome.messages) {
    err << "platovix-cli: archive: " << message << '\n';
  }
  if (!outcome.warning.empty()) err << "platovix-cli: warning: " << outcome.warning << '\n';
  return outcome;
}

void ForwardAfterShown(const CliOptions& options, std::ostream& out, std::ostream& err) {
  const archive::StoreConfig config = ArchiveConfigFor(options);
  if (config.labUrl.empty()) return;
  out.flush();  // what a script waits for is out before the lab is asked
  const std::string message = archive::LabWaitMessage(archive::ForwardToLab(config));
  if (!message.empty()) err << "platovix-cli: archive: " << message << '\n';
}

archive::PlateRead ReadRecordOf(const TPlateResult& plate, const ResultContext& context,
                                const CliOptions& options, const std::string& device) {
  archive::PlateRead read;
  read.uuid = archive::NewUuid();
  read.plateId = options.plateId;
  read.operatorName = archive::LoginName();
  read.host = archive::HostName();
  read.readerFamily = context.readerKind;
  read.readerId = context.readerId;
  read.readerDevice = device;
  read.primaryNm = plate.nPrimary;
  read.referenceNm = plate.nReference;
  if (context.started) read.started = FormatIsoLocalTime(*context.started);
  if (context.completed) read.completed = FormatIsoLocalTime(*context.completed);
  read.programVersion = PLATOVIX_VERSION;
  std::copy(std::begin(plate.nValue), std::end(plate.nValue), read.values.begin());
  std::copy(std::begin(plate.bOverRange), std::end(plate.bOverRange), read.overRange.begin());
  // What fails here costs the record its assay or analysis, never the read.
  try {
    if (options.assay) {
      archive::RecordAssay(*options.assay, &read);
    } else if (!options.layoutPath.empty()) {
      const size_t slash = options.layoutPath.rfind('/');
      read.assayName =
          slash == std::string::npos ? options.layoutPath : options.layoutPath.substr(slash + 1);
    }
    // The analysis as it stood at read time, so the record can be shown as it was.
    if (options.layout && plate.bValid)
      archive::RecordAnalysis(*options.layout, options.analysis, &read);
  } catch (const std::exception& e) {
    read.message = std::string("kept without its analysis: ") + e.what();
  }
  // As stored, so a report's content hash is the stored record's.
  return archive::WithValidText(std::move(read));
}
