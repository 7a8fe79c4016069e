#pragma once
// The main run: the confirmations, then every removal stage in its fixed
// order, then the restart when a stage of the first run left work for the
// next start of Windows. The run's product folders are recorded before the
// first stage and the record goes when no later run is registered.
#include "app/run_context.h"
#include "foundation/status_record.h"

namespace zor {

// How the process ends after the stages: with 0, or with an exit code of its
// own. The entry point alone turns it into the process exit code.
struct PipelineEnding {
  bool endsProcess = false;
  int exitCode = 0;
};

// Runs the stages and says how the process must end; ends nothing itself.
// The ending carries its own code in the "ndisonly" mode (NdisNextStep),
// after a restart request and after a restart registration under
// "norestart" (0).
PipelineEnding RunPipelineStages(RunContext& context);

}  // namespace zor
