#pragma once
// The separate copy of the program that removes the firewall network driver:
// started by the main run, marked in its environment, waited for.
#include <cstdint>
#include <string_view>

#include "foundation/status_codes.h"

namespace zor {

// The environment variable that marks the separate copy. It travels in the
// copy's environment, not on its command line, so that nothing the
// administrator typed (an open quotation mark, say) can hide it.
inline constexpr std::wstring_view kSeparateCopyVariable = L"ZORREMOVER_SEPARATE_COPY";

// True in a process started as the separate copy. Such a process runs only
// the firewall network driver stage and never starts a copy of its own.
bool IsSeparateCopy();

// How long the main run waits for the separate copy, in 100 ns units.
inline constexpr std::int64_t kNdisProcessWait = 50LL * 10'000'000;

// Starts the command line as the separate copy (this process's environment
// plus the mark) and waits for it as LaunchAndWait does.
StatusCode LaunchCopyAndWait(std::wstring_view commandLine, std::int64_t wait, std::int32_t& exitCode);

// True for an exit code that no copy writes as its step: an error status of
// Windows (0xC0000000 and above), which a process gets when it dies of an
// exception or fails to start.
bool IsAbnormalEnd(std::int32_t exitCode);

// The separate copy: this process's own command line followed by
// " /ndisonly /skipask", marked as the copy, waited for 50 seconds. A
// process that is itself a copy is refused with CopyOfACopy. A copy that
// ended abnormally gives CopyEndedAbnormally, with its exit code in
// `exitCode` for the log.
StatusCode RunNdisProcess(std::int32_t& exitCode);

}  // namespace zor
