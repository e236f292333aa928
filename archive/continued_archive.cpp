#include "archive/continued_archive.h"

#include <algorithm>
#include <set>
#include <tuple>

#include "archive/sqlite_archive.h"

namespace archive {

namespace {

// Every file's share of a page: all it has up to the page's end.
ReadQuery Widened(const ReadQuery& query) {
  ReadQuery wide = query;
  wide.offset = 0;
  wide.limit = query.limit == 0 ? 0 : query.offset + query.limit;
  return wide;
}

template <typename T>
void Page(const ReadQuery& query, std::vector<T>* items) {
  const size_t from = std::min(query.offset, items->size());
  items->erase(items->begin(), items->begin() + static_cast<std::ptrdiff_t>(from));
  if (query.limit != 0 && items->size() > query.limit) items->resize(query.limit);
}

std::string TimeOf(const PlateRead& read) {
  return UtcKey(read.completed.empty() ? read.started : read.completed);
}

}  // namespace

ContinuedArchive::ContinuedArchive(std::unique_ptr<ChainedArchive> current,
                                   std::vector<Earlier> earlier)
    : ChainedArchive(current->ReleaseConnection(), current->ReadOnly()),
      earlier_(std::move(earlier)) {
  SetIdentity(current->Identity());
  SetIntegrityCheck(current->IntegrityCheck());
}

bool ContinuedArchive::ListReads(const ReadQuery& query, bool withContent,
                                 std::vector<ReadSummary>* reads, std::string* error) {
  const ReadQuery wide = Widened(query);
  std::vector<ReadSummary> all;
  if (!ChainedArchive::ListReads(wide, withContent, &all, error)) return false;
  std::set<std::string> seen;
  for (const ReadSummary& read : all) seen.insert(read.uuid);
  for (Earlier& file : earlier_) {
    std::vector<ReadSummary> more;
    std::string ignored;  // a damaged file gives what it can
    if (!file.archive || !file.archive->ListReads(wide, withContent, &more, &ignored)) continue;
    for (ReadSummary& read : more) {
      if (seen.insert(read.uuid).second) all.push_back(std::move(read));
    }
  }
  std::stable_sort(all.begin(), all.end(), [](const ReadSummary& a, const ReadSummary& b) {
    return std::tie(a.atUtc, a.seq) > std::tie(b.atUtc, b.seq);
  });
  Page(query, &all);
  for (ReadSummary& read : all) reads->push_back(std::move(read));
  return true;
}

bool ContinuedArchive::EachRead(const ReadQuery& query, bool withContent,
                                const std::function<void(const ReadSummary&)>& each,
                                std::string* error) {
  std::vector<ReadSummary> reads;
  if (!ListReads(query, withContent, &reads, error)) return false;
  for (const ReadSummary& read : reads) each(read);
  return true;
}

bool ContinuedArchive::FindReads(const ReadQuery& query, std::vector<PlateRead>* reads,
                                 std::string* error) {
  const ReadQuery wide = Widened(query);
  std::vector<PlateRead> all;
  if (!ChainedArchive::FindReads(wide, &all, error)) return false;
  std::set<std::string> seen;
  for (const PlateRead& read : all) seen.insert(read.uuid);
  for (Earlier& file : earlier_) {
    std::vector<PlateRead> more;
    std::string ignored;
    if (!file.archive || !file.archive->FindReads(wide, &more, &ignored)) continue;
    for (PlateRead& read : more) {
      if (seen.insert(read.uuid).second) all.push_back(std::move(read));
    }
  }
  std::stable_sort(all.begin(), all.end(),
                   [](const PlateRead& a, const PlateRead& b) { return TimeOf(a) > TimeOf(b); });
  Page(query, &all);
  for (PlateRead& read : all) reads->push_back(std::move(read));
  return true;
}

bool ContinuedArchive::GetRead(const std::string& uuid, PlateRead* read, std::string* error) {
  if (ChainedArchive::GetRead(uuid, read, error)) return true;
  for (Earlier& file : earlier_) {
    std::string ignored;
    if (file.archive && file.archive->GetRead(uuid, read, &ignored)) return true;
  }
  return false;
}

bool ContinuedArchive::GetRun(const std::string& uuid, RunRecord* run, std::string* error) {
  if (ChainedArchive::GetRun(uuid, run, error)) return true;
  for (Earlier& file : earlier_) {
    std::string ignored;
    if (file.archive && file.archive->GetRun(uuid, run, &ignored)) return true;
  }
  return false;
}

bool ContinuedArchive::AuditTrail(const std::string& readUuid, std::vector<AuditEntry>* entries,
                                  std::string* error) {
  std::vector<AuditEntry> all;
  for (Earlier& file : earlier_) {
    std::string ignored;
    if (file.archive) file.archive->AuditTrail(readUuid, &all, &ignored);
  }
  if (!ChainedArchive::AuditTrail(readUuid, &all, error)) return false;
  std::set<std::string> seen;
  for (AuditEntry& entry : all) {
    if (seen.insert(entry.uuid).second) entries->push_back(std::move(entry));
  }
  return true;
}

VerifyReport ContinuedArchive::Verify() {
  VerifyReport report = ChainedArchive::Verify();
  if (!report.ok) return report;
  for (Earlier& file : earlier_) {
    const std::string damage = DamageOf(file.path);
    if (!damage.empty() || !file.archive) {
      report.ok = false;
      report.problem = file.path + " is damaged (" + (damage.empty() ? "unreadable" : damage) +
                       "); its reads continue in " + Identity();
      return report;
    }
  }
  return report;
}

}  // namespace archive
