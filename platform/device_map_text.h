#pragma once
// The text side of turning device paths into drive-letter paths: the drive
// table's order and the lookup. No Windows header.
#include <string>
#include <string_view>
#include <vector>

#include "foundation/status_codes.h"

namespace zor {

struct DriveDevice {
  wchar_t letter = 0;   // 'A' to 'Z'
  std::wstring device;  // the target of the drive's symbolic link
};

// A mapped network drive's link target names its connection in a component
// after the redirector ("\Device\LanmanRedirector\;Z:0000\server\share");
// that component is removed so the target names the share alone.
std::wstring WithoutRedirectorConnection(std::wstring_view target);

// Drive C moves to the front when it is second or third, so that the system
// drive is tried first.
void PutSystemDriveFirst(std::vector<DriveDevice>& drives);

// The first drive whose device is a proper prefix of the path followed by a
// separator gives the letter, a colon and the rest of the path; a
// redirector path gives "\" and the rest, its connection component skipped.
// Otherwise 0xE001003E and an empty path. An empty path gives an empty path.
StatusCode DevicePathToDosPath(const std::vector<DriveDevice>& drives, std::wstring_view devicePath, std::wstring& dosPath);

}  // namespace zor
