#pragma once
// The upgrade codes of the product's Windows Installer packages: every
// installed product related to one of them is the product's. No Windows
// header.
#include <cstddef>
#include <span>
#include <string_view>

namespace zor {

inline constexpr std::size_t kUpgradeCodeCount = 4;

// In the order the installer-data stage asks for their products; in the
// registry's form with braces, as the packages carry them (two in lower
// case).
std::span<const std::wstring_view> InstallerUpgradeCodes();

}  // namespace zor
