#pragma once
// The main run: the confirmations, then every removal stage in its fixed
// order, then the restart when a stage of the first run left work for the
// next start of Windows. The run's product folders are recorded before the
// first stage and the record goes when no later run is registered.
#include "app/run_context.h"
#include "foundation/status_record.h"

namespace zor {

// How the process goes on after the stages: back to the entry point, or
// ended at once with an exit code of its own.
struct PipelineEnding {
  bool endsProcess = false;
  int exitCode = 0;
};

// Runs the stages and says how the process must end; ends nothing itself.
PipelineEnding RunPipelineStages(RunContext& context);

// Ends the process through the run-time's normal exit in the "ndisonly"
// mode (with NdisNextStep), after a restart request and after a restart
// registration under "norestart" (with 0). Otherwise returns success.
StatusRecord RunMainPipeline(RunContext& context);

}  // namespace zor
