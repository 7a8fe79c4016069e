#include "app/separate_copy.h"

#include <new>
#include <string>

#include "platform/environment_variable.h"
#include "platform/process_identity.h"
#include "platform/process_launch.h"

namespace zor {

bool IsSeparateCopy() { return IsEnvironmentVariableSet(std::wstring(kSeparateCopyVariable).c_str()); }

StatusCode LaunchCopyAndWait(std::wstring_view commandLine, std::int64_t wait, std::int32_t& exitCode) {
  return LaunchMarkedAndWait(commandLine, kSeparateCopyVariable, wait, exitCode);
}

StatusCode RunNdisProcess(std::int32_t& exitCode) {
  // However the copy came to be started, it must never start another one.
  if (IsSeparateCopy()) return status::CopyOfACopy;
  std::wstring commandLine;
  if (const StatusCode read = GetProcessCommandLine(commandLine); IsFailure(read)) return read;
  try {
    commandLine.append(L" /").append(L"ndisonly").append(L" /").append(L"skipask");
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  }
  const StatusCode waited = LaunchCopyAndWait(commandLine, kNdisProcessWait, exitCode);
  if (!IsFailure(waited) && IsAbnormalEnd(exitCode)) return status::CopyEndedAbnormally;
  return waited;
}

bool IsAbnormalEnd(std::int32_t exitCode) { return static_cast<std::uint32_t>(exitCode) >= 0xC0000000u; }

}  // namespace zor
