#pragma once
// The verification pass after the last stage of a main run: every engine
// probes, read-only, the items of its own tables, and what is still there is
// logged, one WARN line each ("Still present: <kind> <item>", with
// "(deletion planned at restart)" where Windows will delete it at the next
// start), and summed up in one INFO line.
#include <cstdint>
#include <vector>

#include "app/remaining_item.h"

namespace zor {

class RunContext;

struct VerificationResult {
  std::vector<RemainingItem> remaining;
  std::uint32_t planned = 0;      // of them, planned for deletion at restart
  std::uint32_t milliseconds = 0;  // the pass's own time
};

VerificationResult VerifyRemoval(RunContext& context);

// Marks the file and folder items that Windows is to delete at its next
// start (PendingFileRenameOperations), and adds each such file or folder
// that lies inside a folder item.
void MarkPlannedDeletions(std::vector<RemainingItem>& remaining);

}  // namespace zor
