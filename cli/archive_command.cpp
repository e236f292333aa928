#include "cli/archive_command.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <nlohmann/json.hpp>

#include "analysis/assay.h"
#include "archive/archive_store.h"
#include "archive/archive_url.h"
#include "archive/forward_check.h"
#include "archive/read_state.h"
#include "cli/archive_config.h"
#include "cli/archive_init.h"
#include "cli/archive_reading.h"
#include "cli/asm_output.h"
#include "results/atomic_file.h"
#include "results/result_file.h"
#include "results/result_file_reader.h"

namespace {

using Json = nlohmann::json;
constexpr char kProgram[] = "platovix-cli: ";

// A read as list and show print it: its stored content, with the audit
// trail when asked for.
Json ReadJson(const archive::PlateRead& read) {
  return Json::parse(archive::ReadContent(read));
}

std::optional<std::chrono::system_clock::time_point> TimeOf(const std::string& iso) {
  const std::string utc = archive::UtcKey(iso);
  std::tm time{};
  if (utc.empty() || strptime(utc.c_str(), "%Y-%m-%dT%H:%M:%SZ", &time) == nullptr) {
    return std::nullopt;
  }
  return std::chrono::system_clock::from_time_t(timegm(&time));
}

std::string ReadCsv(const archive::ReadState& state) {
  const archive::PlateRead& read = state.read;
  TPlateResult plate;
  std::copy(read.values.begin(), read.values.end(), plate.nValue);
  std::copy(read.overRange.begin(), read.overRange.end(), plate.bOverRange);
  plate.nPrimary = read.primaryNm;
  plate.nReference = read.referenceNm;
  plate.bValid = 1;
  ResultContext context{read.readerFamily, read.readerId, TimeOf(read.started),
                        TimeOf(read.completed), archive::RecordNotesOf(state)};
  return BuildResultCsv(plate, context, false);
}

std::string Column(std::string text) {
  for (char& c : text) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return text.empty() ? "-" : text;
}

// The read as stored, but with the plate ID entered last: parsed only when
// that one differs from the read's own, so that a long list stays fast.
std::string WithCurrentPlateId(const archive::ReadSummary& read) {
  if (read.content.find("\"plateId\":" + Json(read.plateId).dump()) != std::string::npos) {
    return read.content;
  }
  Json object = Json::parse(read.content, nullptr, false);
  if (!object.is_object()) return read.content;
  object["plateId"] = read.plateId;
  return object.dump();
}

class ArchiveCommand {
 public:
  ArchiveCommand(const CliOptions& options, const CliIo& io)
      : options_(options), io_(io), config_(ArchiveConfigFor(options)) {}

  int Run() {
    if (options_.archiveAction == ArchiveAction::Forward) return Forward();
    if (options_.archiveAction == ArchiveAction::Init) return RunArchiveInit(options_, io_);
    archive_ = OpenArchiveToRead(options_, io_.err);
    if (!archive_) return kExitFailure;
    switch (options_.archiveAction) {
      case ArchiveAction::List:
        return List();
      case ArchiveAction::Show:
        return Show();
      case ArchiveAction::Export:
        return Export();
      case ArchiveAction::Verify:
        return Verify();
      case ArchiveAction::Forward:
      case ArchiveAction::Init:
        break;
    }
    return kExitUsage;
  }

 private:
  int Failure(const std::string& text) {
    io_.err << kProgram << text << '\n';
    return kExitFailure;
  }

  // Each read printed as the database hands it over: a long archive never
  // sits in memory whole, and JSON goes out as stored, parsed only for a
  // plate ID entered after the read.
  int List() {
    constexpr size_t kFlushBytes = 1 << 20;
    const bool json = options_.format == ResultFormat::Json;
    archive::ReadQuery query;
    query.since = options_.since;
    query.assay = options_.assayName;
    query.plateId = options_.plateId;
    io_.out << (json ? "[" : "completed\tuuid\tplate\tstatus\toperator\tassay\n");
    bool first = true;
    std::string text;
    text.reserve(2 * kFlushBytes);
    const auto print = [&](const archive::ReadSummary& read) {
      if (json) {
        text += first ? "\n" : ",\n";
        text += WithCurrentPlateId(read);
      } else {
        text += read.atUtc + '\t' + read.uuid + '\t' + Column(read.plateId) + '\t' + read.status +
                '\t' + Column(read.operatorName) + '\t' + Column(read.assay) + '\n';
      }
      first = false;
      if (text.size() >= kFlushBytes) {
        io_.out << text;
        text.clear();
      }
    };
    std::string error;
    if (!archive_->EachRead(query, json, print, &error)) return Failure(error);
    io_.out << text << (json ? "\n]\n" : "") << std::flush;
    return kExitSuccess;
  }

  bool Get(const std::string& uuid, archive::PlateRead* read) {
    std::string error;
    if (archive_->GetRead(uuid, read, &error)) return true;
    io_.err << kProgram << (error.empty() ? "no read " + uuid + " in the archive" : error) << '\n';
    return false;
  }

  // The read as it is now; false (said on err) when it or its trail cannot be read.
  bool GetState(const std::string& uuid, archive::ReadState* state) {
    archive::PlateRead read;
    if (!Get(uuid, &read)) return false;
    std::vector<archive::AuditEntry> trail;
    std::string error;
    if (!archive_->AuditTrail(uuid, &trail, &error)) {
      io_.err << kProgram << error << '\n';
      return false;
    }
    *state = archive::CurrentState(read, trail);
    return true;
  }

  // The stored read, its audit trail and, under "current", what the trail
  // makes of it.
  Json WithAudit(const archive::ReadState& state) {
    Json json = ReadJson(state.read);
    std::vector<archive::AuditEntry> entries;
    std::string error;
    archive_->AuditTrail(state.read.uuid, &entries, &error);
    json["audit"] = Json::array();
    for (const archive::AuditEntry& entry : entries) {
      json["audit"].push_back(Json::parse(archive::AuditContent(entry)));
    }
    Json current{{"plateId", state.plateId}, {"status", archive::StatusName(state.status)}};
    current["excluded"] = Json::array();
    for (const archive::ExcludedWellState& e : state.excluded) {
      current["excluded"].push_back({{"well", PlateWellName(e.well)},
                                     {"why", e.note.why},
                                     {"who", e.note.who},
                                     {"when", e.note.when}});
    }
    current["comments"] = Json::array();
    for (const archive::StateNote& c : state.comments) {
      current["comments"].push_back({{"text", c.text}, {"who", c.who}, {"when", c.when}});
    }
    if (!state.model.empty()) current["model"] = state.model;
    if (!state.weighting.empty()) current["weighting"] = state.weighting;
    current["verdict"] = state.verdict;
    json["current"] = std::move(current);
    return json;
  }

  // A kinetic run's record as stored, its analysis as an object.
  bool ShowRun(const std::string& uuid) {
    archive::RunRecord run;
    std::string error;
    if (!archive_->GetRun(uuid, &run, &error)) return false;
    Json json = Json::parse(archive::RunContent(run));
    const Json analysis = Json::parse(run.analysisJson, nullptr, false);
    if (!analysis.is_discarded()) json["analysis"] = analysis;
    io_.out << json.dump(1) << '\n' << std::flush;
    return true;
  }

  int Show() {
    if (options_.format != ResultFormat::Csv && ShowRun(options_.uuids[0])) return kExitSuccess;
    archive::ReadState state;
    if (!GetState(options_.uuids[0], &state)) return kExitFailure;
    if (options_.format == ResultFormat::Csv) {
      io_.out << ReadCsv(state) << std::flush;
    } else {
      io_.out << WithAudit(state).dump(1) << '\n' << std::flush;
    }
    return kExitSuccess;
  }

  int Export() {
    if (options_.asmFormat) return ExportAsm();
    const bool json = ResultFormatForPath(options_.output) == ResultFormat::Json;
    Json list = Json::array();
    std::string csv;
    for (const std::string& uuid : options_.uuids) {
      archive::ReadState state;
      if (!GetState(uuid, &state)) return kExitFailure;  // nothing written: all or none
      if (json) list.push_back(WithAudit(state));
      if (!json) csv += (csv.empty() ? "" : "\n") + ReadCsv(state);
    }
    std::string error;
    if (!WriteFileAtomically(options_.output, json ? list.dump(1) + '\n' : csv, &error)) {
      return Failure("cannot write " + options_.output + ": " + error);
    }
    return kExitSuccess;
  }

  // One ASM document per read, with the concentrations of the assay it was
  // read with; every read is found before anything is written.
  int ExportAsm() {
    std::vector<archive::ReadState> reads(options_.uuids.size());
    for (size_t i = 0; i < reads.size(); ++i) {
      if (!GetState(options_.uuids[i], &reads[i])) return kExitFailure;
    }
    for (size_t i = 0; i < reads.size(); ++i) {
      const archive::PlateRead& read = reads[i].read;
      TPlateResult plate;
      ResultContext context;
      PlateOfRecord(read, &plate, &context);
      context.record = archive::RecordNotesOf(reads[i]);
      CliOptions withAssay = options_;
      if (!read.assayJson.empty()) {
        const analysis::AssayParse assay = analysis::ParseAssay(read.assayJson);
        if (assay.ok) {
          withAssay.layout = assay.assay.layout;
          withAssay.analysis = assay.assay.Options();
        }
      }
      // The analysis in force: wells excluded later stay out of it.
      for (const ExcludedWellNote& e : context.record.excluded) {
        withAssay.analysis.excluded.push_back({e.well, e.reason});
      }
      std::string text, error;
      const std::string plateId = reads[i].plateId.empty() ? read.uuid : reads[i].plateId;
      if (!FormatAsmRead(plate, context, withAssay, plateId, &text, &error)) {
        return Failure(read.uuid + ": " + error);
      }
      const std::string path = AsmFileName(options_.output, i, reads.size());
      if (!WriteFileAtomically(path, text, &error)) {
        return Failure("cannot write " + path + ": " + error);
      }
    }
    return kExitSuccess;
  }

  int Verify() {
    const archive::VerifyReport report = archive_->Verify();
    if (report.ok) {
      io_.out << report.entries << " entries, the hash chain is intact\n";
      if (report.lastSeq > 0) {
        io_.out << "head: entry " << report.lastSeq << ", " << report.lastHash << '\n';
      }
      if (report.witnessSeq > 0) {
        io_.out << "last seen: entry " << report.witnessSeq << " (" << report.witnessPath << ")\n";
      }
      // A write cut short (a power cut), not an edit: the next store makes it whole.
      if (report.witnessSpoiled) {
        io_.out << "last seen: unknown, the witness " << report.witnessPath
                << " holds no sound head; the next store writes it anew\n";
      }
      io_.out << std::flush;
      return kExitSuccess;
    }
    if (report.witnessSeq > report.lastSeq && report.firstBadSeq == 0 &&
        report.firstBadUuid.empty()) {
      return Failure("the archive was cut short: " + report.problem + " (" + report.witnessPath +
                     ")");
    }
    if (report.firstBadSeq == 0 && report.firstBadUuid.empty())
      return Failure("cannot verify the archive: " + report.problem);
    return Failure("entry " + std::to_string(report.firstBadSeq) +
                   (report.firstBadUuid.empty() ? "" : " (" + report.firstBadUuid + ")") +
                   " does not match: " + report.problem);
  }

  int Forward() {
    std::string refused;
    if (archive::KindOfArchive(config_.localPath, &refused) == archive::ArchiveKind::Invalid)
      return Failure(refused);
    if (config_.labUrl.empty()) {
      return Failure("no lab archive: give --archive postgresql://... or set [Archive] Url=");
    }
    if (options_.checkForwarded) return CheckForwarded();
    const archive::ForwardOutcome outcome = archive::ForwardToLab(config_);
    io_.out << outcome.sent << " forwarded, " << outcome.pending << " waiting\n" << std::flush;
    if (!outcome.ok) return Failure("the lab archive cannot be reached: " + outcome.error);
    return kExitSuccess;
  }

  int CheckForwarded() {
    const archive::ForwardCheck check = archive::CheckForwarded(config_);
    if (!check.error.empty()) return Failure("cannot check the forwarded reads: " + check.error);
    if (check.missing.empty()) {
      io_.out << check.checked << " entries marked forwarded, all in the lab archive\n"
              << std::flush;
      return kExitSuccess;
    }
    std::string list;
    for (const std::string& uuid : check.missing) list += "\n  " + uuid;
    return Failure(std::to_string(check.missing.size()) + " of " + std::to_string(check.checked) +
                   " entries marked forwarded are not in the lab archive:" + list);
  }

  const CliOptions& options_;
  const CliIo& io_;
  const archive::StoreConfig config_;
  std::unique_ptr<archive::Archive> archive_;
};

}  // namespace

int RunArchiveCommand(const CliOptions& options, const CliIo& io) {
  CliOptions adjusted = options;
  // show prints JSON unless CSV is asked for.
  if (options.archiveAction == ArchiveAction::Show && options.format == ResultFormat::Tsv) {
    adjusted.format = ResultFormat::Json;
  }
  return ArchiveCommand(adjusted, io).Run();
}
