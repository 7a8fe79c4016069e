#pragma once
// Record times: 100-ns units since 1601-01-01 UTC, the system clock's own
// unit. Split into calendar fields here so that layouts need no system call.
#include <cstdint>

namespace zor {

struct TimeParts {
  int year = 1601;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

inline constexpr std::int64_t kTimeUnitsPerMillisecond = 10000;
inline constexpr std::int64_t kTimeUnitsPerDay = 864000000000;

// Times before 1601 are shown as its first instant.
TimeParts SplitTime(std::int64_t time);
std::int64_t JoinTime(const TimeParts& parts);

// The first instant of the next UTC day.
std::int64_t NextUtcMidnight(std::int64_t time);

// The same UTC calendar day.
bool SameUtcDay(std::int64_t a, std::int64_t b);

}  // namespace zor
