#pragma once
// The steps that prepare a run before any stage: logging, the Windows
// folders and the command line. Each returns its failure in the record.
#include <string_view>

#include "app/run_context.h"
#include "foundation/status_record.h"
#include "platform/os_identity.h"
#include "platform/unique_handle.h"

namespace zor {

// The logger "ZorRemover", configured with the built-in text; its file
// "zorremover.log" lies beside the program.
StatusRecord SetUpLogging(RunContext& context);

// Fails only when the program does not match the architecture of Windows;
// every folder after that is best effort and a failed read is logged.
StatusRecord ReadSystemFolders(RunContext& context);
// The same for the given identity of Windows and of the program.
StatusRecord ReadSystemFolders(RunContext& context, const OsIdentity& identity);

// An empty text changes nothing. A line with a quotation mark left open is
// refused with an ERROR line and UnbalancedQuotes before anything is read
// from it; any other parse failure is thrown. Each option no run reads gets
// a WARN line. In the separate copy, "ndisonly" and "skipask" hold whatever
// the line says.
StatusRecord ReadOptions(RunContext& context, std::wstring_view commandLine);

// The machine-wide lock of a main run: two runs at once would delete the
// same files twice and interleave their log lines.
inline constexpr std::wstring_view kRunLockName = L"Global\\ZorRemover.MainRun";

// Takes the lock into `lock` for the rest of the run. Held by another run:
// an ERROR line and AnotherRunActive.
StatusRecord TakeRunLock(RunContext& context, UniqueNtHandle& lock);

}  // namespace zor
