#include "platform/change_tally.h"

#include <atomic>

namespace zor {
namespace {

// The service stage's workers remove in threads of their own.
std::atomic<std::uint32_t> removed{0};
std::atomic<std::uint32_t> failed{0};
std::atomic<std::uint32_t> planned{0};

}  // namespace

ChangeCounts CurrentChangeCounts() { return {removed.load(), failed.load(), planned.load()}; }

void CountRemoval(bool succeeded) { ++(succeeded ? removed : failed); }

void CountPlannedDeletion(bool succeeded) { ++(succeeded ? planned : failed); }

ChangeCounts CountsSince(const ChangeCounts& before, const ChangeCounts& after) {
  return {after.removed - before.removed, after.failed - before.failed, after.planned - before.planned};
}

}  // namespace zor
