#include "engines/driver_remover.h"

#include <new>
#include <string>

#include "app/run_context.h"
#include "engines/driver_names.h"
#include "foundation/format_text.h"
#include "platform/file_operations.h"
#include "platform/path_text.h"
#include "platform/process_launch.h"
#include "platform/special_folders.h"

namespace zor {
namespace {

constexpr std::wstring_view kFileId = L"F3484FAB-59DD-44eb-8905-B0D9EA79F932";

LogSite Here(std::source_location where = std::source_location::current()) { return {kFileId, where.line()}; }

}  // namespace

StatusRecord DriverRemover::RemoveDrivers() {
  std::wstring system;
  if (const StatusCode found = SpecialFolder(FolderSystem, system); IsFailure(found)) return MakeStatus(found);
  std::wstring drivers;
  if (const StatusCode combined = CombinePath(system, L"Drivers", drivers); IsFailure(combined)) {
    return MakeStatus(combined);
  }
  return RemoveDrivers(DriverNames(), drivers);
}

StatusRecord DriverRemover::RemoveDrivers(std::span<const std::wstring_view> names, std::wstring_view driversFolder) {
  try {
    for (const std::wstring_view name : names) {
      std::wstring file;
      if (const StatusCode combined = CombinePath(driversFolder, name, file); IsFailure(combined)) {
        return MakeStatus(combined);
      }
      file += L".sys";
      // No file: the driver is not installed here.
      if (IsFailure(FileExists(file))) continue;
      context().Log(severity::Debug, Here(), L"Deleting driver '%s'...", name);
      // The tools' own results are not needed: the file goes either way, and
      // what stays is for the later stages and the next run.
      RunShellCommand(FormatText(L"net stop %s /y", name));
      RunShellCommand(FormatText(L"sc delete %s", name));
      DeleteFileNow(file);
    }
  } catch (const std::bad_alloc&) {
    return MakeStatus(status::OutOfMemory);
  }
  return {};
}

void DriverRemover::Verify(std::vector<RemainingItem>& remaining) {
  std::wstring system;
  std::wstring drivers;
  if (IsFailure(SpecialFolder(FolderSystem, system)) || IsFailure(CombinePath(system, L"Drivers", drivers))) return;
  for (const std::wstring_view name : DriverNames()) {
    std::wstring file;
    if (IsFailure(CombinePath(drivers, name, file))) continue;
    file += L".sys";
    if (!IsFailure(FileExists(file))) remaining.push_back({L"driver file", file, {}, false});
  }
}

}  // namespace zor
