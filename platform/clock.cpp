#include "platform/clock.h"

#include "platform/native_api.h"

namespace zor {

std::uint32_t TickCount() { return Native().NtGetTickCount(); }

std::int64_t SystemTimeNow() {
  LARGE_INTEGER now{};
  if (Native().ZwQuerySystemTime) Native().ZwQuerySystemTime(&now);
  return now.QuadPart;
}

void SleepMilliseconds(std::int32_t milliseconds) {
  LARGE_INTEGER interval;
  interval.QuadPart = -static_cast<LONGLONG>(milliseconds) * 10000;
  Native().NtDelayExecution(FALSE, &interval);
}

}  // namespace zor
