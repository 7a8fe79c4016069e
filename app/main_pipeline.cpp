#include "app/main_pipeline.h"

#include <windows.h>

#include <string>

#include "app/restart.h"
#include "app/separate_copy.h"
#include "app/unfinished_run.h"
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
  if (parameters.RunNumber != 1 || parameters.SkipAsk) return true;
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

void RunFirewallDriverInSeparateProcess(RunContext& context) {
  RunParameters& parameters = context.parameters;
  context.Log(severity::Info, Here(), L"*****     Zor Fw NDIS driver(separate process)     *****");
  std::int32_t next = 0;
  if (const StatusCode first = RunNdisProcess(next); !IsFailure(first)) {
    context.Log(severity::Debug, Here(), L"Remove NDIS driver pass, next uninstalation step is %d, old was %d",
                next, parameters.NdisNextStep);
    parameters.NdisNextStep = next;
  } else {
    context.Log(severity::Debug, Here(), L"Remove NDIS driver failed with error 0x%08x", first);
    if (const StatusCode second = RunNdisProcess(next); !IsFailure(second)) {
      context.Log(severity::Debug, Here(),
                  L"Second Remove NDIS driver pass, next uninstalation step is %d, old was %d", next,
                  parameters.NdisNextStep);
      parameters.NdisNextStep = next;
    } else {
      context.Log(severity::Debug, Here(), L"Second Remove NDIS driver failed with error 0x%08x", second);
    }
  }
  context.Log(severity::Info, Here(), L"*****     end of Fw NDIS separated process     *****");
}

}  // namespace

PipelineEnding RunPipelineStages(RunContext& context) {
  RunParameters& parameters = context.parameters;
  StageEngines& engines = context.engines;
  if (!Confirmed(context)) return {};

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

  context.Log(severity::Info, Here(), L"*****     Msi data     *****");
  if (const StatusCode code = RunStage(engines.installerData.get()); IsFailure(code)) {
    context.Log(severity::Debug, Here(), L"Msi data removal failed with error 0x%08x", code);
  }

  if (parameters.RunNumber == 1) {
    context.Log(severity::Info, Here(), L"*****     Exchange&Outlook plugins data     *****");
    if (const StatusCode code = RunStage(engines.mailPlugins.get()); IsFailure(code)) {
      context.Log(severity::Debug, Here(), L"Exchange&Outlook plugins removal failed with error 0x%08x", code);
    }
  }

  context.Log(severity::Info, Here(), L"*****     Services     *****");
  if (IsFailure(RunStage(engines.services.get()))) {
    context.Log(severity::Debug, Here(), L"Service remover failed for some service(s)");
  }
  if (parameters.RestartCounter != 0) {
    context.Log(severity::Debug, Here(), L"Restart is needed (restart counter: %d)", parameters.RestartCounter);
  }

  RunFirewallDriverInSeparateProcess(context);

  context.Log(severity::Info, Here(), L"*****     Drivers     *****");
  if (IsFailure(RunStage(engines.drivers.get()))) {
    context.Log(severity::Debug, Here(), L"Removing drivers failed for some item(s)");
  }
  context.Log(severity::Info, Here(), L"*****     Running ZOR process     *****");
  if (IsFailure(RunStage(engines.processes.get()))) {
    context.Log(severity::Debug, Here(), L"Running ZOR process remover failed for some item(s)");
  }
  context.Log(severity::Info, Here(), L"*****     Registry keys and values     *****");
  if (IsFailure(RunStage(engines.registry.get()))) {
    context.Log(severity::Debug, Here(), L"Registry remover failed for some registry item(s)");
  }
  context.Log(severity::Info, Here(), L"*****     Files and folders     *****");
  if (IsFailure(RunStage(engines.files.get()))) {
    context.Log(severity::Debug, Here(), L"File remover failed for some item(s)");
  }

  if (parameters.RestartCounter != 0 && parameters.RunNumber == 1) {
    // The run after the restart finishes this one and may be stopped too.
    context.Log(severity::Debug, Here(), L"The record %s stays for the run after the restart",
                kUnfinishedRunLogName);
    context.Log(severity::Debug, Here(), L"Restarting...");
    const StatusRecord restarted = RestartAndResume(context);
    if (!restarted.Empty() && restarted.Failed()) {
      context.Log(severity::Warn, Here(), L"Initiate Restart failed (error %x)", restarted.Code());
    } else {
      return {true, 0};
    }
    // The restart entry still starts the next run at the next logon.
    return {};
  }
  ForgetUnfinishedRun(context);
  return {};
}

}  // namespace zor
