#pragma once
#include <cstdint>
#include <string_view>

namespace zor {

// Reads a leading integer: optional "-", "0x"/"0X" selects base 16 when more
// follows, digits 0-9a-zA-Z up to the base. Stops at the first foreign digit or
// before the value would pass its limit; never fails.
std::int32_t IntegerFromText(std::wstring_view text);

}  // namespace zor
