#pragma once
// The product's registry keys and values that the registry stage removes,
// one row each, in the order they are processed. Data only: no Windows
// header, so the rules of the table are checked in the native build too.
#include <cstdint>
#include <span>
#include <string_view>

namespace zor {

// Which predefined root a row's key hangs from.
enum RegistryParentRoot : std::int32_t {
  ParentLocalMachine = 0,
  ParentCurrentUser = 1,
  ParentClassesRoot = 2,
};

// What a row asks for; several bits run in this order.
enum RegistryAction : std::uint8_t {
  ActionKeyRemove = 0x01,
  ActionKeyForceRemove = 0x02,
  ActionValueRemove = 0x04,
  ActionValueModify = 0x08,
};

// Which view of the registry a row's key is in.
enum class RegistryRowView : std::int32_t {
  Default = 0,
  View32 = 1,
  View64 = 2,
};

struct RegistryItem {
  // Below the root, without a leading separator.
  std::wstring_view KeyPath;
  // Empty in key rows.
  std::wstring_view ValueName;
  RegistryParentRoot RegistryParent;
  RegistryRowView ViewMode;
  // RegistryAction bits.
  std::uint8_t Actions;
};

inline constexpr std::size_t kRegistryItemCount = 244;

std::span<const RegistryItem> RegistryItemTable();

}  // namespace zor
