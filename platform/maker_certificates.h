#pragma once
// The maker's code-signing certificates, by which the product's programs are
// known wherever they run from. No Windows header.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace zor {

// The serial numbers of the maker's two code-signing certificates, in the
// usual big-endian order of certificate serial numbers.
using CertificateSerial = std::array<std::uint8_t, 16>;
inline constexpr CertificateSerial kMakerSerials[] = {
    {0x5A, 0x4F, 0x52, 0x0A, 0x7C, 0x31, 0x9E, 0x42, 0xB8, 0x06, 0xD1, 0x3F, 0x64, 0xE2, 0x95, 0x1C},
    {0x5A, 0x4F, 0x52, 0x0B, 0x21, 0xC4, 0x07, 0x8D, 0x93, 0x5E, 0x6A, 0xF0, 0x3B, 0x82, 0xD7, 0x49},
};

inline constexpr std::wstring_view kMakerSubject = L"ZOR Technologies";

// True for a serial number stored as Windows stores it (least significant
// byte first) that has exactly 16 bytes and is one of the maker's.
constexpr bool IsMakerSerial(std::span<const std::uint8_t> stored) {
  if (stored.size() != 16) return false;
  for (const CertificateSerial& serial : kMakerSerials) {
    bool same = true;
    for (std::size_t i = 0; i < 16 && same; ++i) same = stored[15 - i] == serial[i];
    if (same) return true;
  }
  return false;
}

}  // namespace zor
