#pragma once
// Starting another process and waiting for it: the separate copy of the
// program that removes the firewall network driver, and the engines' shell
// commands.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/status_codes.h"
#include "platform/unique_handle.h"

namespace zor {

// The process a launch started. Starting another one through the same
// holder closes the handle it still holds.
struct ProcessHolder {
  UniqueNtHandle process;
  std::uint32_t processId = 0;
  std::uint32_t threadId = 0;
};

// CreateProcessW without security attributes, environment block or handle
// inheritance; the child gets the parent's console, token and environment.
// An absent application name or folder is given as an empty view.
StatusCode LaunchProcess(ProcessHolder& holder, std::wstring_view applicationName, std::wstring_view commandLine,
                         std::uint32_t creationFlags, std::wstring_view currentFolder);

// The environment variable that marks the separate copy. It travels in the
// copy's environment, not on its command line, so that nothing the
// administrator typed (an open quotation mark, say) can hide it.
inline constexpr std::wstring_view kSeparateCopyVariable = L"ZORREMOVER_SEPARATE_COPY";

// True in a process started as the separate copy. Such a process runs only
// the firewall network driver stage and never starts a copy of its own.
bool IsSeparateCopy();

// How long the main run waits for the separate copy, in 100 ns units.
inline constexpr std::int64_t kNdisProcessWait = 50LL * 10'000'000;

// Starts the command line and waits for it at most `wait` (100 ns units).
// Within the wait, the child's exit code goes to `exitCode` (STILL_ACTIVE
// becomes 0xA001000A) and the result is 0, or 0x60010003 for an abandoned
// wait. After it, the result is 0xA0010004, `exitCode` is left alone and the
// child goes on running.
StatusCode LaunchAndWait(std::wstring_view commandLine, std::int64_t wait, std::int32_t& exitCode);
// The same, with this process's environment plus the separate copy's mark.
StatusCode LaunchCopyAndWait(std::wstring_view commandLine, std::int64_t wait, std::int32_t& exitCode);

// The separate copy: this process's own command line followed by
// " /ndisonly /skipask", marked as the copy, waited for 50 seconds. A
// process that is itself a copy is refused with CopyOfACopy.
StatusCode RunNdisProcess(std::int32_t& exitCode);

// The engines' shell command: the run-time library's command interpreter
// call (COMSPEC, else cmd.exe, with "/c"), waited for without limit. Returns
// the interpreter's exit code, or -1 when it could not be started.
int RunShellCommand(const std::wstring& command);

}  // namespace zor
