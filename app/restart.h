#pragma once
// The end of a first run that left work for the next start of Windows:
// register the program to run once more after the restart, then restart.
#include <cstdint>
#include <string>

#include "app/run_context.h"
#include "app/status_record.h"

namespace zor {

// Bits of the restart request.
enum RestartFlags : std::uint32_t {
  RestartForceApplications = 1,
  RestartReboot = 2,
  RestartEvenWithoutSession = 4,
};

inline constexpr std::wstring_view kRunOnceKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// Writes the RunOnce entry, then, unless "norestart", asks Windows to
// restart with flags 7. The record holds the request's code, 0 included.
StatusRecord RestartAndResume(RunContext& context);

// The RunOnce value "ZorRemover"; every failure is logged and ignored.
StatusRecord RegisterRunOnce(RunContext& context);

StatusCode RequestRestart(std::uint32_t flags);

// The full path of the program's executable file.
StatusCode ProgramModulePath(std::wstring& path);

}  // namespace zor
