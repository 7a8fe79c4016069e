#include "app/main_pipeline.h"

#include <windows.h>

#include <memory>
#include <string>

#include "app/restart.h"
#include "app/run_ending.h"
#include "app/separate_copy.h"
#include "app/unfinished_run.h"
#include "app/verification.h"
#include "foundation/text_case.h"
#include "platform/change_tally.h"
#include "platform/clock.h"
#include "platform/win32_api.h"

namespace zor {
namespace {

constexpr std::wstring_view kFileId = L"2F6B9C14-7A0E-4D83-B5C2-8E91D4A6F307";
// The calling line, as a default argument evaluated where the call stands.
LogSite Here(std::source_location where = std::source_location::current()) { return {kFileId, where.line()}; }

constexpr std::wstring_view kCaption = L"Warning";
constexpr std::wstring_view kFirstConfirmation =
    L"This application will remove ZOR from your computer. It can require one or more restarts during cleaning "
    L"process and it require to be started from local drive. Please save all your work and close all other "
    L"applications. Do you want to continue?";
constexpr std::wstring_view kAdminConfirmation =
    L"ZOR Admin console is detected. Do you really want to remove ZOR Client and ZOR Admin?";

// Without a display no box can be answered Yes, so an unattended run
// without "skipask" removes nothing.
bool UserSaysYes(std::wstring_view text, UINT style) {
  const std::wstring message(text);
  const std::wstring caption(kCaption);
  return Win32().MessageBoxW(nullptr, message.c_str(), caption.c_str(), style | MB_YESNO) == IDYES;
}

// A box on a window station nobody sees (a service's, or one of a program
// started as SYSTEM by a deployment tool) would wait for ever. When the
// station cannot be asked, the box is shown as always.
bool SomeoneCanAnswer() {
  const HWINSTA station = Win32().GetProcessWindowStation();
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  if (!station || !Win32().GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed)) return true;
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

bool Confirmed(RunContext& context) {
  const RunParameters& parameters = context.parameters;
  // A dry run changes nothing, so there is nothing to confirm.
  if (parameters.RunNumber != 1 || parameters.SkipAsk || parameters.DryRun) return true;
  if (!SomeoneCanAnswer()) {
    context.Log(severity::Warn, Here(),
                L"No one can answer the confirmation on this window station: nothing is removed. "
                L"Run with /silent or /skipask to remove without asking.");
    return false;
  }
  if (!UserSaysYes(kFirstConfirmation, MB_ICONQUESTION)) return false;
  if (parameters.AdminConsoleDetected && !UserSaysYes(kAdminConfirmation, MB_ICONWARNING)) return false;
  return true;
}

// Runs one stage; the record tells whether it failed.
StatusCode RunStage(StageEngine* engine) {
  if (!engine) return status::Success;
  const StatusRecord record = engine->RunStage();
  return record.Empty() ? status::Success : record.Code();
}

// Runs one stage of the main run and adds its line to the report: its time
// and the changes made meanwhile.
StatusCode RunReportedStage(RunContext& context, std::wstring_view name, StageEngine* engine) {
  const ChangeCounts before = CurrentChangeCounts();
  const std::uint32_t start = TickCount();
  const StatusCode code = RunStage(engine);
  const ChangeCounts made = CountsSince(before, CurrentChangeCounts());
  StageReport stage{std::wstring(name), true, static_cast<std::uint32_t>(code), TickCount() - start};
  stage.removed = made.removed;
  stage.failed = made.failed;
  stage.planned = made.planned;
  context.report.stages.push_back(std::move(stage));
  return code;
}

// The separate copy is started twice at most: a second attempt follows a
// copy that could not be started or waited for, or that ended abnormally.
struct CopyAttempt {
  std::wstring_view passed;  // the step it reached, then the step before
  std::wstring_view failed;  // the failure's code
};
constexpr CopyAttempt kCopyAttempts[] = {
    {L"Remove NDIS driver pass, next uninstalation step is %d, old was %d",
     L"Remove NDIS driver failed with error 0x%08x"},
    {L"Second Remove NDIS driver pass, next uninstalation step is %d, old was %d",
     L"Second Remove NDIS driver failed with error 0x%08x"},
};

void RunFirewallDriverInSeparateProcess(RunContext& context, std::wstring_view name) {
  RunParameters& parameters = context.parameters;
  const std::uint32_t start = TickCount();
  context.Log(severity::Info, Here(), L"*****     Zor Fw NDIS driver(separate process)     *****");
  std::int32_t next = 0;
  StatusCode code = status::Success;
  for (const CopyAttempt& attempt : kCopyAttempts) {
    code = RunNdisProcess(next);
    if (!IsFailure(code)) {
      context.Log(severity::Debug, Here(), attempt.passed, next, parameters.NdisNextStep);
      parameters.NdisNextStep = next;
      break;
    }
    context.Log(severity::Debug, Here(), attempt.failed, code);
    // Its exit code is no step: the step stays what it was.
    if (code == status::CopyEndedAbnormally) {
      context.Log(severity::Warn, Here(), L"The separate process ended abnormally (exit code 0x%08x)", next);
    }
  }
  context.Log(severity::Info, Here(), L"*****     end of Fw NDIS separated process     *****");
  // The copy's own changes are its to count: the report has its step only.
  StageReport stage{std::wstring(name), true, static_cast<std::uint32_t>(code), TickCount() - start};
  stage.nextStep = parameters.NdisNextStep;
  context.report.stages.push_back(std::move(stage));
}

// One stage of the main run: its banner, its engine (none for the firewall
// network driver, whose stage runs in the separate copy), the line that
// reports its failure and whether that line shows the stage's code.
struct StageRow {
  std::wstring_view name;  // as the report names it
  std::wstring_view banner;
  std::unique_ptr<StageEngine> StageEngines::*engine;
  std::wstring_view failure;
  bool failureShowsCode;
  bool firstRunOnly;
};

constexpr StageRow kStages[] = {
    {L"installer-data", L"*****     Msi data     *****", &StageEngines::installerData,
     L"Msi data removal failed with error 0x%08x", true, false},
    {L"plug-ins", L"*****     Exchange&Outlook plugins data     *****", &StageEngines::mailPlugins,
     L"Exchange&Outlook plugins removal failed with error 0x%08x", true, true},
    {L"services", L"*****     Services     *****", &StageEngines::services,
     L"Service remover failed for some service(s)", false, false},
    // The firewall network driver, in the separate copy.
    {L"firewall-driver", {}, nullptr, {}, false, false},
    {L"drivers", L"*****     Drivers     *****", &StageEngines::drivers, L"Removing drivers failed for some item(s)",
     false, false},
    {L"processes", L"*****     Running ZOR process     *****", &StageEngines::processes,
     L"Running ZOR process remover failed for some item(s)", false, false},
    {L"registry", L"*****     Registry keys and values     *****", &StageEngines::registry,
     L"Registry remover failed for some registry item(s)", false, false},
    {L"files", L"*****     Files and folders     *****", &StageEngines::files, L"File remover failed for some item(s)",
     false, false},
};

void RunStages(RunContext& context) {
  RunParameters& parameters = context.parameters;
  for (const StageRow& row : kStages) {
    if (row.firstRunOnly && parameters.RunNumber != 1) {
      context.report.stages.push_back(StageReport{std::wstring(row.name)});
      continue;
    }
    if (!row.engine) {
      RunFirewallDriverInSeparateProcess(context, row.name);
      continue;
    }
    context.Log(severity::Info, Here(), row.banner);
    if (const StatusCode code = RunReportedStage(context, row.name, (context.engines.*row.engine).get());
        IsFailure(code)) {
      if (row.failureShowsCode) {
        context.Log(severity::Debug, Here(), row.failure, code);
      } else {
        context.Log(severity::Debug, Here(), row.failure);
      }
    }
    // The services stage is the one that plans restarts of its own.
    if (row.engine == &StageEngines::services && parameters.RestartCounter != 0) {
      context.Log(severity::Debug, Here(), L"Restart is needed (restart counter: %d)", parameters.RestartCounter);
    }
  }
}

// "exitcodes=msi" asks for Windows Installer's exit codes; another table
// name is said once and the usual codes stay.
bool UsesMsiExitCodes(RunContext& context) {
  const std::wstring& table = context.parameters.ExitCodes;
  // A dry run removed nothing: it ends as a run that finished.
  if (table.empty() || context.parameters.DryRun) return false;
  if (EqualsFoldingAscii(table, L"msi")) return true;
  context.Log(severity::Warn, Here(), L"Unknown exit code table '%s': the usual exit codes are used", table);
  return false;
}

}  // namespace

PipelineEnding RunPipelineStages(RunContext& context) {
  RunParameters& parameters = context.parameters;
  StageEngines& engines = context.engines;
  context.report.runNumber = parameters.RunNumber;
  if (!Confirmed(context)) {
    context.report.confirmed = false;
    return {};
  }

  context.Log(severity::Info, Here(), L"ZorRemover runs in attempt number %d", parameters.RunNumber);

  if (parameters.NdisOnly) {
    context.Log(severity::Info, Here(), L"*****     Zor Fw NDIS driver     *****");
    context.Log(severity::Info, Here(), L"...this operation can take several minutes...");
    RunStage(engines.firewallDriver.get());
    return {true, parameters.NdisNextStep};
  }

  // Before anything is deleted: from here on a stopped run leaves work that
  // only these folders let the next run find.
  RecordUnfinishedRun(context);

  RunStages(context);
  // What the stages could not take, read back from the machine itself; a
  // dry run took nothing, and its report lists what it would take.
  VerificationResult verified = parameters.DryRun ? VerificationResult{} : VerifyRemoval(context);
  const bool msiCodes = UsesMsiExitCodes(context);
  const auto remaining = static_cast<std::uint32_t>(verified.remaining.size());
  const std::uint32_t planned = verified.planned;
  if (!parameters.DryRun) {
    context.report.verificationMilliseconds = verified.milliseconds;
    context.report.remaining = std::move(verified.remaining);
  }

  if (parameters.RestartCounter != 0 && parameters.RunNumber == 1) {
    // The run after the restart finishes this one and may be stopped too.
    context.Log(severity::Debug, Here(), L"The record %s stays for the run after the restart",
                kUnfinishedRunLogName);
    context.Log(severity::Debug, Here(), L"Restarting...");
    const StatusRecord restarted = RestartAndResume(context);
    const bool failed = !restarted.Empty() && restarted.Failed();
    if (failed) context.Log(severity::Warn, Here(), L"Initiate Restart failed (error %x)", restarted.Code());
    const bool started = !failed && !parameters.NoRestart;
    context.report.restartStarted = started;
    context.report.ending = EndingOf(started, !started, remaining, planned);
    if (msiCodes) return {true, MsiExitCode(*context.report.ending)};
    // After a failed request the restart entry still starts the next run at
    // the next logon.
    return failed ? PipelineEnding{} : PipelineEnding{true, 0};
  }
  ForgetUnfinishedRun(context);
  context.report.ending = EndingOf(false, false, remaining, planned);
  if (msiCodes) return {true, MsiExitCode(*context.report.ending)};
  return {};
}

}  // namespace zor
