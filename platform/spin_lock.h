#pragma once
// A process-wide lock that needs nothing initialised: a 32-bit flag taken by
// compare-and-swap from 0 to 1. While it is taken the waiter only yields.
#include <atomic>
#include <cstdint>

namespace zor {

class SpinLock {
 public:
  constexpr SpinLock() = default;
  void lock() noexcept;
  void unlock() noexcept { flag_.store(0, std::memory_order_release); }

 private:
  std::atomic<std::uint32_t> flag_{0};
};

}  // namespace zor
