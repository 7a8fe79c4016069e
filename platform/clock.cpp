#include "platform/clock.h"

#include "platform/native_api.h"

namespace zor {

std::uint32_t TickCount() { return Native().NtGetTickCount(); }

void SleepMilliseconds(std::int32_t milliseconds) {
  LARGE_INTEGER interval;
  interval.QuadPart = -static_cast<LONGLONG>(milliseconds) * 10000;
  Native().NtDelayExecution(FALSE, &interval);
}

}  // namespace zor
