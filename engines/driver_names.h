#pragma once
// The product's kernel drivers that the driver stage stops and unregisters:
// each name is the driver's service and the base name of its file in the
// system's drivers folder. Both builds of a driver are listed whatever the
// system; the one not installed has no file and is passed over. No Windows
// header.
#include <cstddef>
#include <span>
#include <string_view>

namespace zor {

inline constexpr std::size_t kDriverNameCount = 17;

// In the order the stage works through them, letter case as written.
std::span<const std::wstring_view> DriverNames();

}  // namespace zor
