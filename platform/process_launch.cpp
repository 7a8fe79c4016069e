#include "platform/process_launch.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <new>
#include <vector>

#include "platform/native_api.h"
#include "platform/win32_api.h"

namespace zor {

namespace {

StatusCode Launch(ProcessHolder& holder, std::wstring_view applicationName, std::wstring_view commandLine,
                  std::uint32_t creationFlags, std::wstring_view currentFolder, wchar_t* environment) {
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
  if (!Win32Changes().CreateProcessW(application.empty() ? nullptr : application.c_str(), writable.data(), nullptr, nullptr, FALSE,
                      creationFlags, environment, folder.empty() ? nullptr : folder.c_str(), &startup, &started)) {
    return StatusFromWin32Error(3, GetLastError());
  }
  CloseHandle(started.hThread);
  holder.process.reset(started.hProcess);
  holder.processId = started.dwProcessId;
  holder.threadId = started.dwThreadId;
  return status::Success;
}

// This process's environment block without any earlier mark, then the mark.
StatusCode MarkedEnvironment(std::wstring_view markName, std::vector<wchar_t>& block) {
  wchar_t* own = Win32().GetEnvironmentStringsW();
  if (!own) return StatusFromLastError(GetLastError());
  const std::wstring prefix = std::wstring(markName) + L"=";
  try {
    for (const wchar_t* entry = own; *entry; entry += wcslen(entry) + 1) {
      const std::wstring_view text(entry);
      if (text.size() >= prefix.size() && CompareStringOrdinal(text.data(), static_cast<int>(prefix.size()),
                                                               prefix.data(), static_cast<int>(prefix.size()),
                                                               TRUE) == CSTR_EQUAL) {
        continue;
      }
      block.insert(block.end(), text.begin(), text.end());
      block.push_back(L'\0');
    }
    const std::wstring mark = prefix + std::to_wstring(GetCurrentProcessId());
    block.insert(block.end(), mark.begin(), mark.end());
    block.push_back(L'\0');
    block.push_back(L'\0');
  } catch (const std::bad_alloc&) {
    Win32().FreeEnvironmentStringsW(own);
    return status::OutOfMemory;
  }
  Win32().FreeEnvironmentStringsW(own);
  return status::Success;
}

StatusCode WaitForChild(ProcessHolder& child, std::int64_t wait, std::int32_t& exitCode);

}  // namespace

StatusCode LaunchProcess(ProcessHolder& holder, std::wstring_view applicationName, std::wstring_view commandLine,
                         std::uint32_t creationFlags, std::wstring_view currentFolder) {
  return Launch(holder, applicationName, commandLine, creationFlags, currentFolder, nullptr);
}

StatusCode LaunchAndWait(std::wstring_view commandLine, std::int64_t wait, std::int32_t& exitCode) {
  ProcessHolder child;
  if (const StatusCode launched = LaunchProcess(child, {}, commandLine, 0, {}); IsFailure(launched)) return launched;
  return WaitForChild(child, wait, exitCode);
}

StatusCode LaunchMarkedAndWait(std::wstring_view commandLine, std::wstring_view markName, std::int64_t wait,
                               std::int32_t& exitCode) {
  std::vector<wchar_t> environment;
  if (const StatusCode built = MarkedEnvironment(markName, environment); IsFailure(built)) return built;
  ProcessHolder child;
  if (const StatusCode launched =
          Launch(child, {}, commandLine, CREATE_UNICODE_ENVIRONMENT, {}, environment.data());
      IsFailure(launched)) {
    return launched;
  }
  return WaitForChild(child, wait, exitCode);
}

namespace {

StatusCode WaitForChild(ProcessHolder& child, std::int64_t wait, std::int32_t& exitCode) {
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
    result = StatusOfNativeCall(waited);
    if (IsFailure(result)) return result;
  }

  DWORD code = 0;
  if (Win32().GetExitCodeProcess(child.process.get(), &code)) {
    exitCode = code == STILL_ACTIVE ? status::ChildStillActive : static_cast<std::int32_t>(code);
  } else if (const StatusCode failed = StatusFromLastError(GetLastError()); IsFailure(failed)) {
    return failed;
  }
  return result;
}

}  // namespace

int RunShellCommand(const std::wstring& command) { return Win32Changes().RunCommandInterpreter(command.c_str()); }

}  // namespace zor
