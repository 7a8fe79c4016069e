#pragma once
// Product folders from the registry or the command line are deleted whole
// under "deletedirforcehard"; a value that names a folder of Windows itself
// must never reach the engines.
#include <span>
#include <string>
#include <string_view>

namespace zor {

// The folders of this machine that no product folder may be. Empty fields
// are not compared.
struct SystemFolders {
  std::wstring CurrentDir;  // what a relative folder is resolved against
  std::wstring WindowsDir;
  std::wstring System32Dir;
  std::wstring SysWow64Dir;
  std::wstring DriversDir;
  std::wstring ProgramFilesDir;
  std::wstring ProgramFilesX86Dir;
  std::wstring ProgramDataDir;
  std::wstring UsersDir;
  std::wstring CommonDesktopDir;
  std::wstring CommonStartMenuDir;
  std::wstring CommonProgramsDir;
};

// Every folder of SystemFolders that a product folder may neither be nor
// hold, in the order declared (all but CurrentDir).
std::span<std::wstring SystemFolders::* const> GuardedFolderFields();

// The folder as the system would resolve it: "/" read as "\", a "\\?\" or
// "\??\" prefix dropped, a relative, root-relative or drive-relative path
// resolved against `currentDir`, "." and ".." resolved, trailing dots and
// blanks of each component and trailing separators dropped. A drive root
// comes back as "C:", a share root as "\\server\share". False, with
// `full` unchanged, when the path cannot be resolved (a device path, a
// relative path without a full current folder, an incomplete share name).
bool FullFolderPath(std::wstring_view path, std::wstring_view currentDir, std::wstring& full);

// True for a folder that names no product folder: a drive or share root,
// one of the system folders, a user profile (a direct child of the Users
// folder), any folder that holds one of them, and a folder that cannot be
// resolved. Letters a to z compare folded. An empty path names nothing and
// is not refused.
bool IsUnsafeProductFolder(std::wstring_view path, const SystemFolders& folders);

}  // namespace zor
