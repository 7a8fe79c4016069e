#include "tools/msi/packed_guid.h"

namespace zor::msi {
namespace {

bool IsHex(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'); }

wchar_t Upper(wchar_t c) { return (c >= L'a' && c <= L'f') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

}  // namespace

std::optional<std::wstring> PackedGuid(std::wstring_view code) {
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  if (code.size() != 38 || code.front() != L'{' || code.back() != L'}') return std::nullopt;
  for (std::size_t i = 1; i < 37; ++i) {
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? code[i] != L'-' : !IsHex(code[i])) return std::nullopt;
  }
  std::wstring packed;
  packed.reserve(32);
  // The first three groups, each reversed digit by digit.
  for (const auto& [start, length] : {std::pair{1, 8}, std::pair{10, 4}, std::pair{15, 4}}) {
    for (int i = length - 1; i >= 0; --i) packed.push_back(Upper(code[start + i]));
  }
  // The last two groups, byte by byte with the digits of each byte swapped.
  for (const std::size_t start : {std::size_t{20}, std::size_t{25}}) {
    const std::size_t end = start == 20 ? 24 : 37;
    for (std::size_t i = start; i < end; i += 2) {
      packed.push_back(Upper(code[i + 1]));
      packed.push_back(Upper(code[i]));
    }
  }
  return packed;
}

}  // namespace zor::msi
