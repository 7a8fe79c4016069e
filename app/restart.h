#pragma once
// The end of a first run that left work for the next start of Windows:
// register the program to run once more after the restart, then restart.
#include <cstdint>
#include <string>

#include "app/run_context.h"
#include "foundation/status_record.h"

namespace zor {

inline constexpr std::wstring_view kRunOnceKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// Writes the RunOnce entry, then, unless "norestart", asks Windows to
// restart with flags 7. The record holds the request's code, 0 included.
StatusRecord RestartAndResume(RunContext& context);

// The RunOnce value "ZorRemover"; every failure is logged and ignored.
StatusRecord RegisterRunOnce(RunContext& context);

}  // namespace zor
