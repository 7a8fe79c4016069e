#pragma once
// The program's clock (the native table's tick count and sleep) replaced
// for a scope: a sleep returns at once and moves the tick count on by its
// length, so minutes of waiting pass in an instant and every pause is
// recorded. One fake clock at a time; it serves every thread.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/native_api.h"
#include "tests/support/table_swap.h"

namespace zor::test {

class FakeClock {
 public:
  explicit FakeClock(std::uint32_t start = 1000) {
    now_ = start;
    std::lock_guard lock(mutex_);
    sleeps_.clear();
  }

  static std::uint32_t Now() { return now_; }
  static void Advance(std::uint32_t milliseconds) { now_ += milliseconds; }
  // Each sleep's length in milliseconds, in order.
  static std::vector<std::int32_t> Sleeps() {
    std::lock_guard lock(mutex_);
    return sleeps_;
  }

 private:
  static ULONG NTAPI TickCount() { return now_; }
  static NTSTATUS NTAPI Delay(BOOLEAN, PLARGE_INTEGER interval) {
    const auto milliseconds = static_cast<std::int32_t>(-interval->QuadPart / 10000);
    {
      std::lock_guard lock(mutex_);
      sleeps_.push_back(milliseconds);
    }
    now_ += static_cast<std::uint32_t>(milliseconds);
    // Lets the other threads run, as a real sleep would.
    SwitchToThread();
    return 0;
  }

  static inline std::atomic<std::uint32_t> now_{0};
  static inline std::mutex mutex_;
  static inline std::vector<std::int32_t> sleeps_;
  SwappedEntry<decltype(Native().NtGetTickCount)> tick_{Native().NtGetTickCount, &TickCount};
  SwappedEntry<decltype(Native().NtDelayExecution)> delay_{Native().NtDelayExecution, &Delay};
};

}  // namespace zor::test
