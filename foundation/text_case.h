#pragma once
// Comparisons with the program's fixed names fold only the letters a to z,
// whatever the locale or the rest of Unicode says.
#include <string_view>

namespace zor {

constexpr wchar_t FoldAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + (L'a' - L'A')) : c; }

constexpr bool EqualsFoldingAscii(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAsciiLetter(a[i]) != FoldAsciiLetter(b[i])) return false;
  }
  return true;
}

}  // namespace zor
