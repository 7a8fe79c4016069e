#include "platform/spin_lock.h"

#include "platform/native_api.h"

namespace zor {

void SpinLock::lock() noexcept {
  std::uint32_t expected = 0;
  while (!flag_.compare_exchange_weak(expected, 1, std::memory_order_acquire)) {
    expected = 0;
    LARGE_INTEGER interval;
    interval.QuadPart = 0;  // a wait of 0 ms: give up the rest of the time slice
    Native().NtDelayExecution(FALSE, &interval);
  }
}

}  // namespace zor
