#include "results/file_time.h"

#include <chrono>

namespace {

using namespace std::chrono;

constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kSecondsPerDay = 86'400;
// Windows never converts file times at or beyond 2^63; neither do we.
constexpr uint64_t kLargestFileTime = 0x7FFF'FFFF'FFFF'FFFFull;

constexpr sys_days kEpoch = sys_days{year{1601} / January / 1};

}  // namespace

uint64_t FileTimeFromCalendar(const std::tm& calendar) {
  const year_month_day date{year{calendar.tm_year + 1900},
                            month{static_cast<unsigned>(calendar.tm_mon + 1)},
                            day{static_cast<unsigned>(calendar.tm_mday)}};
  if (!date.ok() || date.year() < year{1601} || date.year() > year{30827}) return 0;
  const int64_t dayCount = (sys_days{date} - kEpoch).count();
  const int64_t seconds =
      dayCount * kSecondsPerDay + calendar.tm_hour * 3600 + calendar.tm_min * 60 + calendar.tm_sec;
  return seconds < 0 ? 0 : static_cast<uint64_t>(seconds * kTicksPerSecond);
}

uint64_t FileTimeFromLocalNow() {
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  std::tm local{};
  if (!localtime_r(&seconds, &local)) return 0;
  const uint64_t whole = FileTimeFromCalendar(local);
  const auto fraction = duration_cast<nanoseconds>(now - system_clock::from_time_t(seconds));
  const int64_t fractionTicks = fraction.count() / 100;
  return whole == 0 || fractionTicks < 0 ? whole : whole + static_cast<uint64_t>(fractionTicks);
}

bool FileTimeToCalendar(uint64_t fileTime, std::tm* calendar) {
  if (!calendar || fileTime > kLargestFileTime) return false;
  const int64_t seconds = static_cast<int64_t>(fileTime / kTicksPerSecond);
  const int64_t dayCount = seconds / kSecondsPerDay;
  const int64_t secondOfDay = seconds % kSecondsPerDay;
  const sys_days date = kEpoch + days{dayCount};
  const year_month_day ymd{date};
  if (!ymd.ok()) return false;

  *calendar = std::tm{};
  calendar->tm_year = static_cast<int>(ymd.year()) - 1900;
  calendar->tm_mon = static_cast<int>(static_cast<unsigned>(ymd.month())) - 1;
  calendar->tm_mday = static_cast<int>(static_cast<unsigned>(ymd.day()));
  calendar->tm_hour = static_cast<int>(secondOfDay / 3600);
  calendar->tm_min = static_cast<int>(secondOfDay / 60 % 60);
  calendar->tm_sec = static_cast<int>(secondOfDay % 60);
  calendar->tm_wday = static_cast<int>(weekday{date}.c_encoding());
  calendar->tm_yday = static_cast<int>((date - sys_days{ymd.year() / January / 1}).count());
  calendar->tm_isdst = -1;  // local time of unknown season
  return true;
}
