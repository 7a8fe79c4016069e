#pragma once
// The running processes with the paths of their image files, a process's
// own image path, and the stop of a process: all through the native table.
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/status_codes.h"

namespace zor {

struct ProcessEntry {
  std::uint32_t identifier = 0;
  // Empty when it could not be read; pathStatus then says why.
  std::wstring imagePath;
  StatusCode pathStatus = status::Success;
};

enum ProcessListOptions : std::uint32_t {
  ProcessPathsNone = 0,
  ProcessPathsDos = 0x1,  // drive letters and UNC paths
  ProcessPathsNt = 0x2,   // \Device\... as the system reports them
};

// Every process in the system's order. A failure of the system's list ends
// the operation with an empty list; a process whose path cannot be read
// (one the caller may not open, one that ended meanwhile) is still listed.
StatusCode TakeProcessList(std::uint32_t options, std::vector<ProcessEntry>& list);

// The DOS path of a process's image file: the system's image file name
// through the device map, else the path in the process's own parameters.
StatusCode ProcessImagePath(std::uint32_t identifier, std::wstring& path);

StatusCode TerminateProcessById(std::uint32_t identifier);

}  // namespace zor
