#pragma once
// Path text helpers that need no system call: joining and splitting DOS
// paths, recognising path forms, and the listing filter. No Windows header.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/status_codes.h"

namespace zor {

constexpr bool IsPathSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// A letter followed by a colon at the start of the path ("C:").
bool HasDriveDesignation(std::wstring_view path);

// The relative path alone when it has a root of its own (a drive
// designation, or one or two leading separators); otherwise the two joined
// with one backslash, none added when the base already ends in a separator.
StatusCode CombinePath(std::wstring_view base, std::wstring_view relative, std::wstring& combined);

// The path up to its last separator, a run of separators before it dropped;
// "\" for a path whose only separator leads; "C:\" when a drive designation
// is all that remains; empty for a path without separator.
StatusCode ParentFolder(std::wstring_view path, std::wstring& parent);

// The text after the last '\', '/' or ':'; the whole path when it has none.
StatusCode LastComponent(std::wstring_view path, std::wstring& component);

// How a DOS or NT path is turned into an NT path.
enum class PathForm {
  Nt,               // "\??\..." or "\Device\...": already an NT path
  RootRelative,     // "\dir": relative to the root of the current drive
  Relative,         // "dir\file": relative to the current directory
  DoubleSeparator,  // "\\server\share", "\\?\C:\x", "\\.\pipe": the system resolves it
  Drive,            // "C:\dir" (and "C:dir")
};
PathForm ClassifyPath(std::wstring_view path);

// The "\\?\" form that kernel32 takes for long paths, of a full DOS or NT
// path: "C:\x" gives "\\?\C:\x", "\\server\share" gives
// "\\?\UNC\server\share", "\??\C:\x" gives "\\?\C:\x", "\Device\X" gives
// "\\?\GLOBALROOT\Device\X"; a path already in "\\?\" or "\\.\" form stays.
std::wstring LongPathForm(std::wstring_view fullPath);

// The listing filter.
enum ListFilter : std::uint32_t {
  ListParentEntry = 0x01,
  ListSelfEntry = 0x02,
  ListFolders = 0x04,
  ListFiles = 0x08,
  ListReparsePoints = 0x10,
  ListEverything = 0xFF,
};
inline constexpr std::uint32_t kAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kAttributeDirectory = 0x10;
inline constexpr std::uint32_t kAttributeReparsePoint = 0x400;

// Whether an entry passes the reparse test and then the folder or file test.
bool EntryAdmitted(std::uint32_t attributes, std::wstring_view name, std::uint32_t filter);

// The mask that the file system is given: "*" for an absent mask and for
// exactly "*.*"; any other mask unchanged.
std::wstring_view ListingMask(const wchar_t* mask);

// The pieces ShortPath works on: the head that is kept as it is (a leading
// "//./" or "//?/", a drive designation, and a separator after them), and
// the components that follow, empty ones dropped.
struct ShortPathPieces {
  std::wstring head;
  std::vector<std::wstring> components;
};
ShortPathPieces SplitForShortPath(std::wstring_view path);

}  // namespace zor
