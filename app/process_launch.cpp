#include "app/process_launch.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

#include "app/process_identity.h"
#include "platform/native_api.h"

namespace zor {

StatusCode LaunchProcess(ProcessHolder& holder, std::wstring_view applicationName, std::wstring_view commandLine,
                         std::uint32_t creationFlags, std::wstring_view currentFolder) {
  holder.process.reset();
  holder.processId = 0;
  holder.threadId = 0;

  // CreateProcessW may write into the command line, so it gets a copy.
  std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
  writable.push_back(L'\0');
  const std::wstring application(applicationName);
  const std::wstring folder(currentFolder);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  SetLastError(0);
  if (!CreateProcessW(application.empty() ? nullptr : application.c_str(), writable.data(), nullptr, nullptr, FALSE,
                      creationFlags, nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &started)) {
    return StatusFromWin32Error(3, GetLastError());
  }
  CloseHandle(started.hThread);
  holder.process.reset(started.hProcess);
  holder.processId = started.dwProcessId;
  holder.threadId = started.dwThreadId;
  return status::Success;
}

StatusCode LaunchAndWait(std::wstring_view commandLine, std::int64_t wait, std::int32_t& exitCode) {
  ProcessHolder child;
  if (const StatusCode launched = LaunchProcess(child, {}, commandLine, 0, {}); IsFailure(launched)) return launched;

  LARGE_INTEGER timeout;
  timeout.QuadPart = -wait;  // relative
  const NTSTATUS waited = Native().ZwWaitForSingleObject(child.process.get(), FALSE, &timeout);
  StatusCode result = status::Success;
  if (waited == STATUS_WAIT_0) {
    result = status::Success;
  } else if (waited == STATUS_ABANDONED_WAIT_0) {
    result = status::WaitAbandoned;
  } else if (waited == STATUS_TIMEOUT) {
    return status::WaitTimedOut;
  } else {
    result = StatusFromNtStatus(waited);
    if (IsFailure(result)) return result;
  }

  DWORD code = 0;
  if (GetExitCodeProcess(child.process.get(), &code)) {
    exitCode = code == STILL_ACTIVE ? status::ChildStillActive : static_cast<std::int32_t>(code);
  } else if (const StatusCode failed = StatusFromLastError(GetLastError()); IsFailure(failed)) {
    return failed;
  }
  return result;
}

StatusCode RunNdisProcess(std::int32_t& exitCode) {
  std::wstring commandLine;
  if (const StatusCode read = GetProcessCommandLine(commandLine); IsFailure(read)) return read;
  try {
    commandLine.append(L" /").append(L"ndisonly").append(L" /").append(L"skipask");
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  }
  return LaunchAndWait(commandLine, kNdisProcessWait, exitCode);
}

int RunShellCommand(const std::wstring& command) { return _wsystem(command.c_str()); }

}  // namespace zor
