#include "logging/log_time.h"

namespace zor {
namespace {

// Days between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kDaysFrom1601To1970 = 134774;

// Civil date from a day count since 1970-01-01 (proleptic Gregorian).
void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

std::int64_t DaysFromCivil(int year, int month, int day) {
  const std::int64_t y = year - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yearOfEra = y - era * 400;
  const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

}  // namespace

TimeParts SplitTime(std::int64_t time) {
  if (time < 0) time = 0;
  TimeParts parts;
  const std::int64_t days = time / kTimeUnitsPerDay;
  std::int64_t rest = (time % kTimeUnitsPerDay) / kTimeUnitsPerMillisecond;
  CivilFromDays(days - kDaysFrom1601To1970, parts.year, parts.month, parts.day);
  parts.millisecond = static_cast<int>(rest % 1000);
  rest /= 1000;
  parts.second = static_cast<int>(rest % 60);
  rest /= 60;
  parts.minute = static_cast<int>(rest % 60);
  parts.hour = static_cast<int>(rest / 60);
  return parts;
}

std::int64_t JoinTime(const TimeParts& parts) {
  const std::int64_t days = DaysFromCivil(parts.year, parts.month, parts.day) + kDaysFrom1601To1970;
  const std::int64_t milliseconds =
      ((static_cast<std::int64_t>(parts.hour) * 60 + parts.minute) * 60 + parts.second) * 1000 + parts.millisecond;
  return days * kTimeUnitsPerDay + milliseconds * kTimeUnitsPerMillisecond;
}

std::int64_t NextUtcMidnight(std::int64_t time) {
  if (time < 0) time = 0;
  return (time / kTimeUnitsPerDay + 1) * kTimeUnitsPerDay;
}

bool SameUtcDay(std::int64_t a, std::int64_t b) {
  if (a < 0) a = 0;
  if (b < 0) b = 0;
  return a / kTimeUnitsPerDay == b / kTimeUnitsPerDay;
}

}  // namespace zor
