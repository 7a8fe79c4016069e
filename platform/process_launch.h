#pragma once
// Starting another process and waiting for it, with or without a mark in
// its environment, and the run-time library's shell command.
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/status_codes.h"
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

// Starts the command line and waits for it at most `wait` (100 ns units).
// Within the wait, the child's exit code goes to `exitCode` (STILL_ACTIVE
// becomes 0xA001000A) and the result is 0, or 0x60010003 for an abandoned
// wait. After it, the result is 0xA0010004, `exitCode` is left alone and the
// child goes on running.
StatusCode LaunchAndWait(std::wstring_view commandLine, std::int64_t wait, std::int32_t& exitCode);
// The same, with this process's environment in which the variable
// `markName` (compared without regard to case) is set to this process's id.
StatusCode LaunchMarkedAndWait(std::wstring_view commandLine, std::wstring_view markName, std::int64_t wait,
                               std::int32_t& exitCode);

// The engines' shell command: the run-time library's command interpreter
// call (COMSPEC, else cmd.exe, with "/c"), waited for without limit. Returns
// the interpreter's exit code, or -1 when it could not be started.
int RunShellCommand(const std::wstring& command);

}  // namespace zor
