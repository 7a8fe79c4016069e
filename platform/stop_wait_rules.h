#pragma once
// The timing rules of waiting for a service to stop, apart from the clock
// that drives them. No Windows header: the rules are checked natively too.
#include <cstdint>

namespace zor {

// Added to the service's own wait hint before the wait gives up.
inline constexpr std::int32_t kStopGraceMilliseconds = 80000;

// A tenth of the wait hint (read as a signed value), at least 250 ms and at
// most 10000 ms, between two status reads of a stopping service.
constexpr std::int32_t StopPollDelay(std::uint32_t waitHint) {
  const std::int32_t tenth = static_cast<std::int32_t>(waitHint) / 10;
  if (tenth <= 250) return 250;
  if (tenth >= 10000) return 10000;
  return tenth;
}

// True once more than the wait hint and the grace have passed since the
// check point last advanced; both sides are signed 32-bit, so the tick
// count may wrap between them.
constexpr bool StopWaitExpired(std::uint32_t now, std::uint32_t since, std::uint32_t waitHint) {
  const auto waited = static_cast<std::int32_t>(now - since);
  const auto allowed = static_cast<std::int32_t>(waitHint + static_cast<std::uint32_t>(kStopGraceMilliseconds));
  return waited > allowed;
}

}  // namespace zor
