#pragma once
// The product's files and folders as the file stage removes them: one row
// per item, each naming a folder of the run parameters, a path below it and
// what to do there. Rows run in table order; nested folders come deepest
// first, so that each folder has lost its subfolders when its own row comes.
// No Windows header: the table's rules are checked natively too.
#include <cstddef>
#include <cstdint>
#include <span>

#include "app/run_folder.h"

namespace zor {

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

// Whether WOW64 file system redirection is on while a row runs.
enum class Redirection : std::uint8_t {
  LeftAsIs = 0,
  On = 1,
};

struct FileItem {
  RunFolder parentDir;
  const wchar_t* relativePath;  // null or empty: the folder itself
  const wchar_t* mask;          // for ActionDeleteMatching
  Redirection redirect;
  std::uint8_t actions;         // FileItemAction bits
  std::int32_t specialAction;   // 0: none
};

inline constexpr std::size_t kFileItemCount = 231;

// The product's rows, in the order the stage runs them.
std::span<const FileItem> FileItemTable();

// True for a folder of the product itself (program, data or
// administration folder), false for a folder of Windows or of the user.
bool IsProductParent(RunFolder parentDir);

}  // namespace zor
