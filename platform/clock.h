#pragma once
// The program's clock: the tick count and a plain sleep, both through the
// native table, so that a test can run minutes of waiting in an instant by
// swapping NtGetTickCount and NtDelayExecution.
#include <cstdint>

namespace zor {

// Milliseconds since Windows started; wraps after 49.7 days.
std::uint32_t TickCount();

// The system time: 100-ns units since 1601-01-01 UTC.
std::int64_t SystemTimeNow();

// A relative, non-alertable sleep; its result does not matter to anyone.
void SleepMilliseconds(std::int32_t milliseconds);

}  // namespace zor
