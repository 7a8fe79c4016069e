// The whitelist's text: the entries never depend on how the bytes are cut
// into chunks, no entry holds a line end, and entries written as UTF-16
// with a byte order mark and any of the three line ends read back exactly.
#include <cstdint>
#include <string>
#include <vector>

#include "app/whitelist_text.h"
#include "tests/fuzz/fuzz_support.h"

namespace zor {
namespace {

using fuzz::Printable;
using fuzz::Require;

std::wstring Latin1(std::string_view line) {
  std::wstring text;
  for (char c : line) text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return text;
}

std::vector<std::wstring> Decode(std::string_view bytes, std::size_t chunk) {
  WhitelistDecoder decoder(&Latin1);
  std::vector<std::wstring> lines;
  for (std::size_t at = 0; at < bytes.size(); at += chunk) decoder.Feed(bytes.substr(at, chunk), lines);
  decoder.Finish(lines);
  return lines;
}

void CheckChunks(std::string_view bytes, std::size_t chunk) {
  const std::vector<std::wstring> whole = Decode(bytes, bytes.empty() ? 1 : bytes.size());
  const std::vector<std::wstring> cut = Decode(bytes, chunk);
  Require(whole == cut, "chunks-do-not-matter", [&] { return "chunks of " + std::to_string(chunk); });
  for (const std::wstring& entry : whole) {
    Require(entry.find_first_of(L"\r\n") == std::wstring::npos, "no-line-end-in-an-entry",
            [&] { return Printable(entry); });
  }
}

// Entries without line ends, written as UTF-16LE with a BOM and the given
// end after each but the last, read back as they were.
void CheckRoundTrip(const std::vector<std::wstring>& entries, std::size_t endKind) {
  static const std::wstring kEnds[] = {L"\r\n", L"\n", L"\r"};
  std::string bytes = "\xFF\xFE";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::wstring line = entries[i];
    if (i + 1 < entries.size()) line += kEnds[endKind % 3];
    for (wchar_t c : line) {
      const auto unit = static_cast<std::uint16_t>(c);
      bytes.push_back(static_cast<char>(unit & 0xFF));
      bytes.push_back(static_cast<char>(unit >> 8));
    }
  }
  std::vector<std::wstring> expected = entries;
  // A last entry that is empty has nothing to read.
  if (!expected.empty() && expected.back().empty()) expected.pop_back();
  Require(Decode(bytes, 5) == expected, "utf16-round-trip", [&] { return std::to_string(entries.size()) + " entries"; });
}

}  // namespace
}  // namespace zor

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  zor::CheckChunks(bytes, 1 + (size % 7));
  std::vector<std::wstring> entries;
  for (std::wstring entry : zor::fuzz::Fields(zor::fuzz::WideFromBytes(data, size))) {
    std::erase_if(entry, [](wchar_t c) { return c == L'\r' || c == L'\n' || c > 0xFFFF; });
    entries.push_back(entry);
  }
  zor::CheckRoundTrip(entries, size);
  return 0;
}
