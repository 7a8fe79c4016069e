#pragma once
// The product's files and folders as the file stage removes them: one row
// per item, each naming a folder of the run parameters, a path below it and
// what to do there. Rows run in table order; nested folders come deepest
// first, so that each folder has lost its subfolders when its own row comes.
// No Windows header: the table's rules are checked natively too.
#include <cstddef>
#include <cstdint>
#include <span>

namespace zor {

// Which folder of the run parameters a row lives in.
enum FileItemParent : std::int32_t {
  ParentZorDir = 0,
  ParentZorDataDir = 1,
  ParentCommonAppDataDir = 2,
  ParentAppDataDir = 3,
  ParentSystem32Dir = 4,
  ParentSysWow64Dir = 5,
  ParentDriversDir = 6,
  ParentCommonDesktopDir = 7,
  ParentCommonProgramsDir = 8,
  ParentProgramFilesDir = 9,
  ParentProgramFilesX86Dir = 10,
  ParentZorAdminDir = 11,
};
inline constexpr std::int32_t kFileItemParentCount = 12;

// What to do with a row; several bits run in the order of kFileActionOrder.
enum FileItemAction : std::uint8_t {
  ActionRemoveFolder = 0x01,
  ActionEmptyAndRemoveFolder = 0x02,
  ActionDeleteFile = 0x04,
  ActionReportSpecial = 0x08,
  ActionDeleteMatching = 0x10,
  ActionRunSpecial = 0x20,
  ActionRemoveTree = 0x40,
};
inline constexpr std::uint8_t kFileActionOrder[] = {
    ActionRunSpecial,  ActionRemoveFolder,   ActionEmptyAndRemoveFolder, ActionRemoveTree,
    ActionDeleteFile, ActionReportSpecial, ActionDeleteMatching,
};

struct FileItem {
  std::int32_t parentDir;
  const wchar_t* relativePath;  // null or empty: the folder itself
  const wchar_t* mask;          // for ActionDeleteMatching
  std::uint8_t redirect;        // 1: WOW64 file system redirection on while the row runs
  std::uint8_t actions;
  std::int32_t specialAction;   // 0: none
};

inline constexpr std::size_t kFileItemCount = 231;

// The product's rows, in the order the stage runs them.
std::span<const FileItem> FileItemTable();

// True for a folder of the product itself (program, data or
// administration folder), false for a folder of Windows or of the user.
bool IsProductParent(std::int32_t parentDir);

}  // namespace zor
