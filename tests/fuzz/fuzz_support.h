#pragma once
// What every fuzz target shares: the input bytes as wide text, fields of
// it, and property checks that name the property that failed. A target
// links either with libFuzzer or with the replay driver; each of them
// supplies PropertyFailed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace zor::fuzz {

// The bytes as text: UTF-8 where they form it, any other byte as the
// character of that number. Characters above U+FFFF become surrogate pairs,
// as Windows stores them, whatever the width of wchar_t here.
std::wstring WideFromBytes(const std::uint8_t* data, std::size_t size);

// The text cut at every LF (kept out of the fields). Seeds stay readable:
// one field per line.
std::vector<std::wstring> Fields(std::wstring_view text);

// The field at `index`, empty when the input has fewer.
std::wstring_view FieldAt(const std::vector<std::wstring>& fields, std::size_t index);

// An optional "-" and decimal digits as a 64-bit pattern: digits past the
// range wrap, the first other character ends the number. Lets a seed spell
// any value, including the extremes.
std::int64_t NumberFromField(std::wstring_view text);

// ASCII letters of the other case; everything else as it is.
std::wstring SwapAsciiCase(std::wstring_view text);

// The text for a failure message: printable ASCII as it is, anything else
// as \u{hex}; long texts are shortened.
std::string Printable(std::wstring_view text);

// False when the environment variable ZOR_FUZZ_SKIP (names separated by
// ",") lists the property: a long run can go past a fault already known.
bool Checking(std::string_view property);

[[noreturn]] void PropertyFailed(std::string_view property, const std::string& detail);

// Reports the property as failed unless it holds or is skipped. `detail`
// makes the text that shows the failing values; it runs only on a failure,
// so the checks cost nothing when they pass.
template <typename Detail>
void Require(bool holds, std::string_view property, Detail detail) {
  if (!holds && Checking(property)) PropertyFailed(property, detail());
}

inline void Require(bool holds, std::string_view property) {
  Require(holds, property, [] { return std::string(); });
}

}  // namespace zor::fuzz
