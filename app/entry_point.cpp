#include "app/entry_point.h"

#include <string>

#include "platform/console_output.h"
#include "app/entry_switches.h"
#include "app/main_pipeline.h"
#include "app/separate_copy.h"
#include "platform/process_identity.h"
#include "app/run_context.h"
#include "app/product_discovery.h"
#include "app/run_setup.h"
#include "foundation/status_record.h"
#include "app/usage_text.h"
#include "platform/native_types.h"
#include "platform/platform_startup.h"

namespace zor {
namespace {

void ReportMissingRights(bool consoleOnly) {
  if (consoleOnly) {
    WriteConsoleText(kMissingRightsConsole);
  } else {
    const std::wstring text(kMissingRightsBox);
    const std::wstring caption(kMissingRightsCaption);
    MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_ICONERROR | MB_OK);
  }
}

// The steps after the rights check. Each failing step is thrown and ends the
// run with its code.
void RunRemoverSteps(EngineBinder bindEngines) {
  RunContext context;
  bindEngines(context);
  ThrowIfFailed(SetUpLogging(context));
  ThrowIfFailed(ReadSystemFolders(context));
  std::wstring commandLine;
  ThrowIfFailed(GetProcessCommandLine(commandLine));
  ThrowIfFailed(ReadOptions(context, commandLine));
  // The separate copy runs while its main run holds the lock.
  UniqueNtHandle runLock;
  if (!IsSeparateCopy()) ThrowIfFailed(TakeRunLock(context, runLock));
  ThrowIfFailed(DiscoverProductFolders(context));
  ThrowIfFailed(RunMainPipeline(context));
}

}  // namespace

int RemoverMain(int argumentCount, wchar_t** arguments, EngineBinder bindEngines) {
  if (const StatusCode started = StartPlatform(); IsFailure(started)) return started;

  const EntrySwitches switches = ScanEntrySwitches(argumentCount, arguments);
  if (switches.help) {
    for (std::wstring_view line : kUsageLines) WriteConsoleText(line);
    StopPlatform();
    return 0;
  }

  try {
    bool administrator = false;
    ThrowIfFailed(IsAdministrator(administrator));
    if (!administrator) {
      ReportMissingRights(switches.consoleOnly);
      StopPlatform();
      return 0;
    }
    RunRemoverSteps(bindEngines);
  } catch (ZorException& failure) {
    failure.PushMark(TraceMark::Caught);
    StopPlatform();
    return failure.Code();
  }
  StopPlatform();
  return 0;
}

}  // namespace zor
