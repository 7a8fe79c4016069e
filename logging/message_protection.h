#pragma once
// Message protection: a log line that carries a protected message shows it
// only as "a" followed by Base64 text, readable with the program's keys.
// No Windows header.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zor {

inline constexpr std::size_t kProtectionKeyCount = 16;
inline constexpr std::size_t kProtectionKeyLength = 64;

using ProtectionKey = std::array<std::uint8_t, kProtectionKeyLength>;

// Key number `index` (taken modulo the key count).
const ProtectionKey& ProtectionKeyAt(std::size_t index);

// "a" and the Base64 text (standard alphabet, "=" padding) of: the key
// number, then "a" and the UTF-8 text of the message, XORed with that key.
std::wstring ProtectMessage(std::wstring_view message, std::uint8_t keyIndex);

// UTF-8 of UTF-16 text; a lone surrogate becomes U+FFFD.
std::string Utf8FromWide(std::wstring_view text);

}  // namespace zor
