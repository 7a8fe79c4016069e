#include "logging/log_time.h"

#include <gtest/gtest.h>

namespace zor {
namespace {

TEST(LogTime, SplitsAndJoinsCalendarTimes) {
  const struct {
    TimeParts parts;
    std::int64_t time;
  } rows[] = {
      {{1601, 1, 1, 0, 0, 0, 0}, 0},
      {{1970, 1, 1, 0, 0, 0, 0}, 116444736000000000},
      {{2024, 2, 29, 23, 59, 59, 999}, 133537247999990000},
      {{2024, 5, 6, 7, 8, 9, 123}, 133594528891230000},
      {{2100, 3, 1, 12, 0, 0, 0}, 157520592000000000},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.time);
    EXPECT_EQ(JoinTime(row.parts), row.time);
    const TimeParts split = SplitTime(row.time);
    EXPECT_EQ(split.year, row.parts.year);
    EXPECT_EQ(split.month, row.parts.month);
    EXPECT_EQ(split.day, row.parts.day);
    EXPECT_EQ(split.hour, row.parts.hour);
    EXPECT_EQ(split.minute, row.parts.minute);
    EXPECT_EQ(split.second, row.parts.second);
    EXPECT_EQ(split.millisecond, row.parts.millisecond);
  }
  const std::int64_t evening = JoinTime({2024, 12, 31, 23, 0, 0, 0});
  EXPECT_EQ(NextUtcMidnight(evening), JoinTime({2025, 1, 1, 0, 0, 0, 0}));
  EXPECT_EQ(NextUtcMidnight(JoinTime({2025, 1, 1, 0, 0, 0, 0})), JoinTime({2025, 1, 2, 0, 0, 0, 0}));
  EXPECT_TRUE(SameUtcDay(evening, JoinTime({2024, 12, 31, 0, 0, 0, 0})));
  EXPECT_FALSE(SameUtcDay(evening, JoinTime({2025, 1, 1, 0, 0, 0, 0})));
}

}  // namespace
}  // namespace zor
