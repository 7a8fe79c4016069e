#pragma once
// Text rules of the registry layer that need no Windows header: the table of
// predefined roots, the view modes, the rewriting of key paths into the
// 32-bit branch, a key's path relative to its hive, and the order in which
// merged subkey names are listed.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/status_codes.h"

namespace zor {

// A predefined root is a 32-bit value; used as a handle it is sign-extended.
using RegistryRoot = std::uint32_t;
inline constexpr RegistryRoot RootNone = 0;
inline constexpr RegistryRoot RootClassesRoot = 0x80000000;
inline constexpr RegistryRoot RootCurrentUser = 0x80000001;
inline constexpr RegistryRoot RootLocalMachine = 0x80000002;
inline constexpr RegistryRoot RootUsers = 0x80000003;
inline constexpr RegistryRoot RootPerformanceData = 0x80000004;
inline constexpr RegistryRoot RootPerformanceText = 0x80000050;
inline constexpr RegistryRoot RootPerformanceNlsText = 0x80000060;
inline constexpr RegistryRoot RootCurrentConfig = 0x80000005;
inline constexpr RegistryRoot RootDynData = 0x80000006;

struct RegistryRootEntry {
  RegistryRoot value;
  const wchar_t* shortName;
  const wchar_t* fullName;
  // The key opened for the root; empty when no key stands for it. The
  // current user's key is not opened by name.
  const wchar_t* path;
};

inline constexpr std::size_t kRegistryRootCount = 9;
// In the order of a key object's cache of root handles.
extern const std::array<RegistryRootEntry, kRegistryRootCount> kRegistryRoots;

// The cache slot of a predefined root, or nothing for any other value.
std::optional<std::size_t> RegistryRootSlot(RegistryRoot value);

// Low four bits of a view mode select the view; higher bits are ignored.
using ViewMode = std::uint32_t;
inline constexpr ViewMode ViewModeDefault = 0;
inline constexpr ViewMode ViewMode32 = 1;
inline constexpr ViewMode ViewMode64 = 2;
inline constexpr ViewMode ViewModeNative = 4;

constexpr std::uint32_t ViewSelector(ViewMode mode) { return mode & 0xFu; }
// KEY_WOW64_32KEY for the 32-bit view, KEY_WOW64_64KEY for the 64-bit one.
constexpr std::uint32_t ViewAccessBits(ViewMode mode) {
  switch (ViewSelector(mode)) {
    case ViewMode32:
      return 0x200;
    case ViewMode64:
      return 0x100;
    default:
      return 0;
  }
}

// Upper-cases text unit by unit (the system's table on Windows).
using UpcaseText = std::wstring (*)(std::wstring_view text);
std::wstring UpcaseAscii(std::wstring_view text);

// What the 32-bit view makes of a key path: used as it is, with the branch
// node taken out of the subpath (the parent already lies in the branch), or
// replaced by an absolute registry path inside the branch.
struct ViewRedirect {
  enum class Kind { Unchanged, SubpathStripped, Absolute };
  Kind kind = Kind::Unchanged;
  std::wstring path;
};

// `parentName` is the parent key's full registry name; `subpath` is absent
// when the parent itself is meant.
ViewRedirect RedirectPathTo32BitView(std::wstring_view parentName, std::optional<std::wstring_view> subpath,
                                     UpcaseText upcase);

struct RelativePath {
  std::wstring path;
  bool isMachine = false;
};

// A key's path below HKEY_LOCAL_MACHINE or below the user's key, from its
// full registry name; a user's classes hive maps to "SOFTWARE\CLASSES".
// Fails with 0xE0010002 for a name of 17 characters or fewer.
StatusCode RelativeKeyPathFromName(std::wstring_view fullName, UpcaseText upcase, RelativePath& relative);

// Takes every second one of two adjacent "Wow6432Node" components out.
std::wstring CollapseDoubledViewNodes(std::wstring_view subpath, UpcaseText upcase);

// The order of merged subkey names: byte by byte on the UTF-16LE text, the
// shorter of two equal prefixes first. Letter case is not folded.
bool PrecedesInUtf16LeBytes(std::wstring_view left, std::wstring_view right);

}  // namespace zor
