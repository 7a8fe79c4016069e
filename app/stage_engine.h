#pragma once
// A removal stage as the pipeline sees it: one entry without arguments that
// reports only a failure that stopped the whole stage. Each engine is bound
// to the run context it works on when the context is built.
#include <vector>

#include "app/remaining_item.h"
#include "foundation/status_record.h"

namespace zor {

class RunContext;

class StageEngine {
 public:
  explicit StageEngine(RunContext& context) : context_(context) {}
  StageEngine(const StageEngine&) = delete;
  StageEngine& operator=(const StageEngine&) = delete;
  virtual ~StageEngine() = default;

  virtual StatusRecord RunStage() = 0;

  // Adds what of the engine's own items is still on the machine. Reads
  // only: the verification pass after the last stage calls it. An engine
  // without items of its own adds nothing.
  virtual void Verify(std::vector<RemainingItem>& remaining) { (void)remaining; }

 protected:
  RunContext& context() { return context_; }

 private:
  RunContext& context_;
};

// Stands in for an engine that has not been built: its stage does nothing
// and succeeds.
class PendingEngine final : public StageEngine {
 public:
  using StageEngine::StageEngine;
  StatusRecord RunStage() override { return {}; }
};

}  // namespace zor
