#include "platform/device_map_text.h"

#include <algorithm>
#include <new>

#include "foundation/status_codes.h"
#include "platform/path_text.h"

namespace zor {
namespace {

constexpr std::wstring_view kRedirector = L"\\Device\\LanmanRedirector";

// The rest of a redirector path after its prefix, less a leading
// connection component (";Z:0000").
std::wstring_view AfterRedirector(std::wstring_view path) {
  std::wstring_view rest = path.substr(kRedirector.size());
  if (rest.size() >= 2 && IsPathSeparator(rest[0]) && rest[1] == L';') {
    const std::size_t next = rest.find_first_of(L"\\/", 1);
    rest = next == std::wstring_view::npos ? std::wstring_view() : rest.substr(next);
  }
  return rest;
}

}  // namespace

std::wstring WithoutRedirectorConnection(std::wstring_view target) {
  if (target.substr(0, kRedirector.size()) != kRedirector) return std::wstring(target);
  return std::wstring(kRedirector) + std::wstring(AfterRedirector(target));
}

void PutSystemDriveFirst(std::vector<DriveDevice>& drives) {
  for (std::size_t at = 1; at <= 2 && at < drives.size(); ++at) {
    if (drives[at].letter == L'C') {
      std::swap(drives[0], drives[at]);
      return;
    }
  }
}

StatusCode DevicePathToDosPath(const std::vector<DriveDevice>& drives, std::wstring_view devicePath, std::wstring& dosPath) {
  try {
    if (devicePath.empty()) {
      dosPath.clear();
      return status::Success;
    }
    for (const DriveDevice& drive : drives) {
      const std::size_t length = drive.device.size();
      if (length == 0 || length >= devicePath.size()) continue;
      if (devicePath.substr(0, length) != drive.device || !IsPathSeparator(devicePath[length])) continue;
      std::wstring result(1, drive.letter);
      result += L':';
      result += devicePath.substr(length);
      dosPath = std::move(result);
      return status::Success;
    }
    if (devicePath.substr(0, kRedirector.size()) == kRedirector) {
      dosPath = L"\\" + std::wstring(AfterRedirector(devicePath));
      return status::Success;
    }
    dosPath.clear();
    return status::NotAFolder;
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  }
}

}  // namespace zor
