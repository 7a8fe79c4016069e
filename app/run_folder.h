#pragma once
// The folders a run works in, each named once. The file stage's rows name
// their folder by these numbers, so the numbers never change. No Windows
// header.
#include <cstdint>

namespace zor {

enum class RunFolder : std::int32_t {
  ZorDir = 0,
  ZorDataDir = 1,
  CommonAppDataDir = 2,
  AppDataDir = 3,
  System32Dir = 4,
  SysWow64Dir = 5,
  DriversDir = 6,
  CommonDesktopDir = 7,
  CommonProgramsDir = 8,
  ProgramFilesDir = 9,
  ProgramFilesX86Dir = 10,
  ZorAdminDir = 11,
};
inline constexpr std::int32_t kRunFolderCount = 12;

}  // namespace zor
