#include "cli/archive_init.h"

#include "archive/archive_url.h"
#include "archive/lab_grants.h"
#include "archive/postgres_archive.h"

namespace {

constexpr char kProgram[] = "platovix-cli: ";

int Failure(const CliIo& io, const std::string& text) {
  io.err << kProgram << text << '\n';
  return kExitFailure;
}

}  // namespace

int RunArchiveInit(const CliOptions& options, const CliIo& io) {
  const std::string url = options.archiveUrl.value_or("");
  std::string error;
  if (archive::KindOfArchive(url, &error) != archive::ArchiveKind::Postgres) {
    return Failure(io, error.empty() ? "archive init wants --archive postgresql://... (the lab "
                                       "archive, connected as the owner of its tables)"
                                     : error);
  }
  std::string grants;
  if (!options.grantRole.empty() && !archive::LabGrantsSql(options.grantRole, &grants, &error)) {
    return Failure(io, error);
  }
  std::string note;
  std::unique_ptr<archive::ChainedArchive> lab = archive::OpenPostgresArchive(url, &note, &error);
  if (!lab) return Failure(io, "cannot prepare the lab archive: " + error);
  if (lab->ReadOnly()) return Failure(io, note);
  io.out << "the lab archive " << archive::ShownLocation(url) << " is at schema version "
         << archive::kSchemaVersion << '\n';
  if (!grants.empty()) {
    if (!lab->Connection().Script(grants)) {
      return Failure(io, "cannot grant " + options.grantRole + ": " + lab->Connection().Error());
    }
    io.out << options.grantRole << " may store and read, and change nothing stored\n";
  }
  io.out << std::flush;
  return kExitSuccess;
}
