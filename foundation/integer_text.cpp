#include "foundation/integer_text.h"

namespace zor {
namespace {

constexpr std::uint32_t kNotADigit = 99;

constexpr std::uint32_t DigitValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return static_cast<std::uint32_t>(c - L'0');
  if (c >= L'a' && c <= L'z') return static_cast<std::uint32_t>(c - L'a') + 10;
  if (c >= L'A' && c <= L'Z') return static_cast<std::uint32_t>(c - L'A') + 10;
  return kNotADigit;
}

}  // namespace

std::int32_t IntegerFromText(std::wstring_view text) {
  if (text.empty()) return 0;
  std::size_t position = 0;
  const bool negative = text[0] == L'-';
  if (negative) ++position;

  std::uint64_t base = 10;
  if (text.size() > position + 2 && text[position] == L'0' && (text[position + 1] == L'x' || text[position + 1] == L'X')) {
    base = 16;
    position += 2;
  }
  const std::uint64_t limit = negative ? 2147483648ull : (base == 16 ? 4294967295ull : 2147483647ull);

  std::uint64_t value = 0;
  for (; position < text.size(); ++position) {
    const std::uint32_t digit = DigitValue(text[position]);
    if (digit >= base) break;
    const std::uint64_t next = value * base + digit;
    if (next > limit) break;
    value = next;
  }
  const auto bits = static_cast<std::uint32_t>(negative ? (0 - value) : value);
  return static_cast<std::int32_t>(bits);
}

}  // namespace zor
