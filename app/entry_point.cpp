#include "app/entry_point.h"

#include <string>

#include "app/dry_run_session.h"
#include "app/entry_switches.h"
#include "app/main_pipeline.h"
#include "app/product_discovery.h"
#include "app/report_file.h"
#include "app/run_context.h"
#include "app/run_setup.h"
#include "app/separate_copy.h"
#include "app/usage_text.h"
#include "foundation/status_record.h"
#include "platform/clock.h"
#include "platform/computer_name.h"
#include "platform/console_output.h"
#include "platform/native_types.h"
#include "platform/platform_startup.h"
#include "platform/process_identity.h"
#include "platform/win32_api.h"

namespace zor {
namespace {

// The version the build stamps on the program.
std::wstring ProgramVersion() {
#ifdef ZOR_VERSION_TEXT
  const std::string text = ZOR_VERSION_TEXT;
  return std::wstring(text.begin(), text.end());
#else
  return L"unknown";
#endif
}

void ReportMissingRights(bool consoleOnly) {
  if (consoleOnly) {
    WriteConsoleText(kMissingRightsConsole);
  } else {
    const std::wstring text(kMissingRightsBox);
    const std::wstring caption(kMissingRightsCaption);
    Win32().MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_ICONERROR | MB_OK);
  }
}

// The steps after the rights check. Each failing step is thrown and ends the
// run with its code; otherwise the pipeline's ending gives the exit code.
int RunRemoverSteps(EngineBinder bindEngines) {
  RunContext context;
  context.report.startTime = SystemTimeNow();
  context.report.version = ProgramVersion();
  context.report.machine = ComputerName();
  bindEngines(context);
  ThrowIfFailed(SetUpLogging(context));
  ThrowIfFailed(ReadSystemFolders(context));
  std::wstring commandLine;
  ThrowIfFailed(GetProcessCommandLine(commandLine));
  context.report.commandLine = commandLine;
  ThrowIfFailed(ReadOptions(context, commandLine));
  DryRunSession dryRun(context);
  dryRun.Start();
  // From here on the report's file is known: a run that ends early says so
  // in it too.
  try {
    // The separate copy runs while its main run holds the lock.
    UniqueNtHandle runLock;
    if (!IsSeparateCopy()) ThrowIfFailed(TakeRunLock(context, runLock));
    ThrowIfFailed(DiscoverProductFolders(context));
    const PipelineEnding ending = RunPipelineStages(context);
    context.report.exitCode = ending.endsProcess ? ending.exitCode : 0;
    dryRun.Finish();
    WriteRunReport(context);
    return context.report.exitCode;
  } catch (ZorException& failure) {
    context.report.failure = static_cast<std::uint32_t>(failure.Code());
    context.report.exitCode = failure.Code();
    dryRun.Finish();
    WriteRunReport(context);
    throw;
  }
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

  int exitCode = 0;
  try {
    bool administrator = false;
    ThrowIfFailed(IsAdministrator(administrator));
    if (!administrator) {
      ReportMissingRights(switches.consoleOnly);
      StopPlatform();
      return 0;
    }
    exitCode = RunRemoverSteps(bindEngines);
  } catch (ZorException& failure) {
    failure.PushMark(TraceMark::Caught);
    StopPlatform();
    return failure.Code();
  }
  StopPlatform();
  return exitCode;
}

}  // namespace zor
