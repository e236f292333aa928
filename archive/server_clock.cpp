// The lab server's clock against its clients': each entry on PostgreSQL
// carries the time the client sent it and the server's own time of taking
// it. A client whose clock is off by more than a few minutes dated its
// reads wrongly, and verify says which entry shows it first.
#include <chrono>
#include <cstdio>
#include <ctime>

#include "archive/chained_archive.h"

namespace archive {

namespace {

constexpr int kAllowedSeconds = 5 * 60;

}  // namespace

std::string ClientClock() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>(millis));
  return text;
}

VerifyReport ChainedArchive::CheckServerClock(VerifyReport report) {
  if (!report.ok || !db_->ServerClock()) return report;
  std::vector<SqlRow> rows;
  if (!db_->Exec("SELECT seq, uuid, round(extract(epoch FROM client_at - server_at)), "
                 "to_char(server_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), "
                 "to_char(client_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"') "
                 "FROM entries WHERE abs(extract(epoch FROM client_at - server_at)) > $1 "
                 "ORDER BY seq LIMIT 1",
                 {std::to_string(kAllowedSeconds)}, &rows)) {
    report.ok = false;
    report.problem = db_->Error();
    return report;
  }
  if (rows.empty()) return report;
  const int64_t off = ChainNumber(rows[0][2]);
  const int64_t minutes = (off < 0 ? -off : off) / 60;
  report.ok = false;
  report.firstBadSeq = ChainNumber(rows[0][0]);
  report.firstBadUuid = rows[0][1];
  report.problem = "its computer's clock was " + std::to_string(minutes) + " minutes " +
                   (off < 0 ? "behind" : "ahead of") + " the server's (" + rows[0][4] +
                   " by the computer, " + rows[0][3] + " by the server)";
  return report;
}

}  // namespace archive
