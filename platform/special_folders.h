#pragma once
// Windows folders the program needs, filled once at platform start-up.
#include <string>

#include "foundation/status_codes.h"

namespace zor {

enum SpecialFolderKind : int {
  FolderUserAppData = 2,
  FolderSystem = 3,
  FolderSystem32Bit = 4,
  FolderSystemFromWindows = 5,
  FolderWindows = 6,
  FolderProgramFiles = 7,
  FolderProgramFiles32Bit = 8,
  FolderProgramFiles64Bit = 9,
};

// Fills the table; called by StartPlatform the first time only.
void FillSpecialFolders();

// The folder of a kind: 0xE0018E15 for a kind the table does not have,
// 0xE0018E16 when the folder could not be determined. `folder` is left as it
// was on failure.
StatusCode SpecialFolder(int kind, std::wstring& folder);

}  // namespace zor
