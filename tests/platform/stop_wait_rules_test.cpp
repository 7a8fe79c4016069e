// The stop wait's poll delay and time-out, apart from any clock.
#include "platform/stop_wait_rules.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace zor {
namespace {

TEST(StopPollDelay, IsATenthOfTheWaitHintBetween250And10000) {
  const struct {
    std::uint32_t waitHint;
    std::int32_t delay;
  } rows[] = {
      {0, 250},       {2000, 250},     {2500, 250},      {2510, 251},       {30000, 3000},
      {99990, 9999},  {100000, 10000}, {200000, 10000},  {0xFFFFFFFFu, 250},  // -1 as a signed hint
      {0x80000000u, 250},  // the most negative hint
  };
  for (const auto& row : rows) {
    EXPECT_EQ(StopPollDelay(row.waitHint), row.delay) << row.waitHint;
  }
}

TEST(StopWaitExpired, OnlyOnceMoreThanTheHintAndTheGraceHavePassed) {
  const struct {
    std::uint32_t now;
    std::uint32_t since;
    std::uint32_t waitHint;
    bool expired;
  } rows[] = {
      {80000, 0, 0, false},
      {80001, 0, 0, true},
      {110000, 0, 30000, false},
      {110001, 0, 30000, true},
      // The tick count wraps between the two reads.
      {79999u - 16u, 0xFFFFFFF0u, 0, false},
      {80001u - 16u, 0xFFFFFFF0u, 0, true},
      // A clock read before the start never counts as waited.
      {0, 100, 0, false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(StopWaitExpired(row.now, row.since, row.waitHint), row.expired)
        << row.now << " " << row.since << " " << row.waitHint;
  }
}

}  // namespace
}  // namespace zor
