// Reading a leading integer, against a model of its rules written another
// way: the digits that count are the longest run whose value stays within
// the limit, found by comparing digit texts rather than by arithmetic.
// Values the program writes with its own formatter read back unchanged.
#include <cstdint>
#include <cstring>
#include <string>

#include "foundation/format_text.h"
#include "foundation/integer_text.h"
#include "tests/fuzz/fuzz_support.h"

namespace zor {
namespace {

using fuzz::Printable;
using fuzz::Require;

constexpr std::wstring_view kDigits = L"0123456789abcdefghijklmnopqrstuvwxyz";

// The digit's value, or 36 for a character that is no digit in any base.
std::size_t DigitOf(wchar_t c) {
  if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  const std::size_t found = kDigits.find(c);
  return found == std::wstring_view::npos ? 36 : found;
}

// Whether the digits (leading zeros removed) stand for more than `limit`,
// written in the same base without leading zeros.
bool Exceeds(std::wstring_view digits, std::wstring_view limit) {
  if (digits.size() != limit.size()) return digits.size() > limit.size();
  return digits > limit;
}

std::int32_t Model(std::wstring_view text) {
  std::size_t position = 0;
  const bool negative = !text.empty() && text[0] == L'-';
  if (negative) position = 1;
  std::size_t base = 10;
  // "0x" selects base 16 only when anything follows it.
  if (text.size() - position >= 3 && text[position] == L'0' && (text[position + 1] == L'x' || text[position + 1] == L'X')) {
    base = 16;
    position += 2;
  }
  const std::wstring_view limit = base == 16 ? (negative ? L"80000000" : L"ffffffff")
                                             : (negative ? L"2147483648" : L"2147483647");
  std::wstring significant;  // the digits taken so far, lower case, without leading zeros
  for (; position < text.size(); ++position) {
    const std::size_t digit = DigitOf(text[position]);
    if (digit >= base) break;
    std::wstring longer = significant;
    if (!longer.empty() || digit != 0) longer.push_back(kDigits[digit]);
    if (Exceeds(longer, limit)) break;
    significant = std::move(longer);
  }
  std::uint64_t value = 0;
  for (wchar_t c : significant) value = value * base + DigitOf(c);
  const auto bits = static_cast<std::uint32_t>(negative ? 0 - value : value);
  return static_cast<std::int32_t>(bits);
}

void CheckModel(std::wstring_view text) {
  const std::int32_t read = IntegerFromText(text);
  const std::int32_t expected = Model(text);
  Require(read == expected, "integer-model", [&] {
    return Printable(text) + " read as " + std::to_string(read) + ", expected " + std::to_string(expected);
  });
}

void CheckWrittenValue(std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (const std::wstring& text : {FormatText(L"%d", value), FormatText(L"0x%x", bits), FormatText(L"0X%X", bits),
                                   FormatText(L"0x%08x", bits), FormatText(L"%d.5", value)}) {
    const std::int32_t read = IntegerFromText(text);
    Require(read == value, "written-value-reads-back", [&] {
      return std::to_string(value) + " written as " + Printable(text) + " read as " + std::to_string(read);
    });
  }
}

}  // namespace
}  // namespace zor

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring text = zor::fuzz::WideFromBytes(data, size);
  zor::CheckModel(text);
  // Each line is read too, so one input tries several numbers.
  for (const std::wstring& line : zor::fuzz::Fields(text)) zor::CheckModel(line);
  if (size >= 4) {
    std::int32_t value = 0;
    std::memcpy(&value, data, sizeof value);
    zor::CheckWrittenValue(value);
  }
  return 0;
}
