#pragma once
// The process stage: the product's programs that still run are stopped, so
// that the later stages can delete their files. A program is the product's
// when its image file is signed with one of the maker's certificates,
// wherever it runs from. Before its process stops, the image file is
// renamed to NAME.to_delete, and after the stop deleted, or handed to
// Windows for deletion at the next start. The whitelist of the command line
// and the built-in exceptions keep processes out of reach, and so does the
// rule that this program never stops a copy of itself.
#include <span>
#include <string_view>
#include <vector>

#include "app/stage_engine.h"
#include "foundation/status_record.h"

namespace zor {

class ProcessRemover final : public StageEngine {
 public:
  using StageEngine::StageEngine;

  StatusRecord RunStage() override { return RemoveProductProcesses(); }
  // Each of the maker's signed programs still running that the stage would
  // stop (whitelisted programs, the exceptions and this program stay).
  void Verify(std::vector<RemainingItem>& remaining) override;

  // Success, or GenericFailure when Windows refused to plan a deletion (the
  // stage ends there), or the failure to find this program's own path.
  StatusRecord RemoveProductProcesses();
};

// The maker's sibling products, in lower case: a path that holds any of them
// is never stopped.
std::span<const std::wstring_view> ProcessExceptions();

inline constexpr std::wstring_view kToDeleteSuffix = L".to_delete";

}  // namespace zor
