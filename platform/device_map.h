#pragma once
// The drive letters of this process's device map with the devices behind
// them, for turning the device paths that Windows reports for running
// programs into drive-letter paths.
#include <string>
#include <string_view>
#include <vector>

#include "foundation/status_codes.h"
#include "platform/device_map_text.h"

namespace zor {

class DeviceMap {
 public:
  // Reads the defined drive letters (ProcessDeviceMap) and, for each in
  // alphabetical order, the target of its \??\X: symbolic link; drive C is
  // then tried first. A drive whose link cannot be read is left out.
  StatusCode Build();

  const std::vector<DriveDevice>& Drives() const { return drives_; }

  // See the text lookup: 0xE001003E and an empty path when no drive maps
  // the device path.
  StatusCode DevicePathToDosPath(std::wstring_view devicePath, std::wstring& dosPath) const;

 private:
  std::vector<DriveDevice> drives_;
};

// The target of the symbolic link \??\X: for drive `letter`, a mapped
// network drive's connection component removed. `target` is left as it
// was on failure.
StatusCode DriveTarget(wchar_t letter, std::wstring& target);

}  // namespace zor
