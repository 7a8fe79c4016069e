#pragma once
// What this process did to the machine, counted where the changing calls are
// made: each file, folder, registry key or value, service and process that
// Windows took away, each such removal it refused, and each deletion handed
// to it for the next start. The run's report takes the counts before and
// after each stage. Removals made by other programs (the installer, the
// separate copy) are theirs, not counted here.
#include <cstdint>

namespace zor {

struct ChangeCounts {
  std::uint32_t removed = 0;
  std::uint32_t failed = 0;
  std::uint32_t planned = 0;
};

ChangeCounts CurrentChangeCounts();

// A removal's outcome; a target that was not there counts as nothing.
void CountRemoval(bool succeeded);
// A deletion planned for the next start, or refused.
void CountPlannedDeletion(bool succeeded);

// The counts between two readings.
ChangeCounts CountsSince(const ChangeCounts& before, const ChangeCounts& after);

}  // namespace zor
