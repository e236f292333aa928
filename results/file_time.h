// The plate's completion time as a 64-bit "file time": 100 ns units since
// 1601-01-01 00:00, holding local calendar time with no zone attached.
#pragma once

#include <cstdint>
#include <ctime>

// The local wall-clock time now.
uint64_t FileTimeFromLocalNow();

// A local calendar time (tm_year, tm_mon, tm_mday, tm_hour, tm_min, tm_sec)
// as a file time; 0 when it lies before 1601 or cannot be represented.
uint64_t FileTimeFromCalendar(const std::tm& calendar);

// Back to calendar fields, without any zone shift. Fails for times past
// the year 30827, which no clock of ours produces.
bool FileTimeToCalendar(uint64_t fileTime, std::tm* calendar);
