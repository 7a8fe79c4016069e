#include "app/restart.h"

#include "app/restart_entry.h"
#include "platform/process_identity.h"
#include "platform/registry_key.h"
#include "platform/system_restart.h"

namespace zor {
namespace {

constexpr std::wstring_view kFileId = L"5D0C7E21-94B3-4A6F-8E15-C2B7A9F03D64";
// The calling line, as a default argument evaluated where the call stands.
LogSite Here(std::source_location where = std::source_location::current()) { return {kFileId, where.line()}; }

constexpr std::int32_t kMaximumRuns = 5;

}  // namespace

StatusRecord RegisterRunOnce(RunContext& context) {
  const RunParameters& parameters = context.parameters;
  if (parameters.RunNumber >= kMaximumRuns) {
    context.Log(severity::Debug, Here(), L"Maximum number (%d) of program runs reached", parameters.RunNumber);
    return {};
  }
  RegistryKey runOnce(RootLocalMachine);
  if (const StatusCode opened = runOnce.Open(kRunOnceKey); IsFailure(opened)) {
    context.Log(severity::Debug, Here(), L"RunOnce registry failed to open (error: %x)", opened);
    return {};
  }
  std::wstring data;
  std::wstring program;
  if (const StatusCode found = ProgramModulePath(program); IsFailure(found)) {
    context.Log(severity::Debug, Here(), L"GetModulePath failed (error: %x)", found);
  } else {
    data = RestartEntryText(program, parameters);
  }
  if (const StatusCode written = runOnce.SetRemoverValue(data); IsFailure(written)) {
    context.Log(severity::Debug, Here(), L"RunOnce registry not set (error: %x)", written);
  } else {
    context.Log(severity::Debug, Here(), L"RunOnce entry ZorRemover set to '%s'", data);
    context.report.restartRegistered = true;
  }
  return {};
}

StatusRecord RestartAndResume(RunContext& context) {
  RegisterRunOnce(context);
  StatusCode code = status::Success;
  if (!context.parameters.NoRestart) {
    const std::uint32_t flags = RestartForceApplications | RestartReboot | RestartEvenWithoutSession;
    context.Log(severity::Debug, Here(), L"Requesting a restart (flags %d)", flags);
    code = RequestRestart(flags);
  }
  StatusRecord record = MakeStatus(code);
  if (record.Empty()) record = StatusRecord::Holding(ZorException(code));
  return record;
}

}  // namespace zor
