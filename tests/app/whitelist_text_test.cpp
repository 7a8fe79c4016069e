// The whitelist's text: the encodings its first bytes choose, the three
// line ends, entries exactly as written, and bytes that come in chunks of
// any size.
#include "app/whitelist_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/narrow_text.h"

namespace zor {
namespace {

using Entries = std::vector<std::wstring>;

// Latin-1 stands in for the ANSI code page: each byte its own character.
std::wstring Latin1(std::string_view line) {
  std::wstring text;
  for (char c : line) text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return text;
}

std::string Utf16(std::u16string_view text, bool little) {
  std::string bytes;
  for (char16_t unit : text) {
    const char low = static_cast<char>(unit & 0xFF);
    const char high = static_cast<char>(unit >> 8);
    bytes += little ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}

Entries Decode(std::string_view bytes, std::size_t chunk, WhitelistEncoding* encoding = nullptr) {
  WhitelistDecoder decoder(&Latin1);
  Entries lines;
  for (std::size_t at = 0; at < bytes.size(); at += chunk) decoder.Feed(bytes.substr(at, chunk), lines);
  decoder.Finish(lines);
  if (encoding) *encoding = decoder.Encoding();
  return lines;
}

TEST(WhitelistDecoder, ReadsEveryEncodingAndLineEndTheSameWay) {
  const std::u16string text = u"C:\\Tools\\monitor.exe\r\nD:\\b c.exe \r\n\r\nE:\\\u00e9t\u00e9.exe";
  const Entries expected = {L"C:\\Tools\\monitor.exe", L"D:\\b c.exe ", L"", L"E:\\\u00e9t\u00e9.exe"};
  const struct {
    const char* what;
    std::string bytes;
    WhitelistEncoding encoding;
  } rows[] = {
      {"UTF-16LE, BOM, CR LF", "\xFF\xFE" + Utf16(text, true), WhitelistEncoding::Utf16LittleEndian},
      {"UTF-16BE, BOM, CR LF", "\xFE\xFF" + Utf16(text, false), WhitelistEncoding::Utf16BigEndian},
      {"UTF-8, BOM, CR LF",
       "\xEF\xBB\xBF" "C:\\Tools\\monitor.exe\r\nD:\\b c.exe \r\n\r\nE:\\\xC3\xA9t\xC3\xA9.exe",
       WhitelistEncoding::Utf8},
      {"ANSI, lone LF", "C:\\Tools\\monitor.exe\nD:\\b c.exe \n\nE:\\\xE9t\xE9.exe", WhitelistEncoding::Ansi},
      {"ANSI, lone CR", "C:\\Tools\\monitor.exe\rD:\\b c.exe \r\rE:\\\xE9t\xE9.exe", WhitelistEncoding::Ansi},
      {"ANSI, final CR LF", "C:\\Tools\\monitor.exe\r\nD:\\b c.exe \r\n\r\nE:\\\xE9t\xE9.exe\r\n",
       WhitelistEncoding::Ansi},
  };
  for (const auto& row : rows) {
    for (std::size_t chunk : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7}, std::size_t{4096}}) {
      SCOPED_TRACE(std::string(row.what) + ", chunks of " + std::to_string(chunk));
      WhitelistEncoding encoding = WhitelistEncoding::Undecided;
      EXPECT_EQ(Decode(row.bytes, chunk, &encoding), expected);
      EXPECT_EQ(encoding, row.encoding);
    }
  }
}

TEST(WhitelistDecoder, ShortAndEmptyFilesAndLineEndsAlone) {
  const struct {
    std::string bytes;
    Entries entries;
  } rows[] = {
      {"", {}},
      {"\xFF\xFE", {}},
      {"\xEF\xBB\xBF", {}},
      {"a", {L"a"}},
      {"ab", {L"ab"}},
      {"\r\n", {L""}},
      {"\n\n", {L"", L""}},
      {"\r\r\n", {L"", L""}},
      {"\n\r", {L"", L""}},
      // A BOM of another encoding is no BOM here: the bytes are text.
      {"\xFE\xFE" "a", {L"\u00fe\u00fea"}},
      // Half a UTF-16 unit at the end is dropped.
      {std::string("\xFF\xFE" "a\0b", 5), {L"a"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.bytes));
    EXPECT_EQ(Decode(row.bytes, 1), row.entries);
    EXPECT_EQ(Decode(row.bytes, 4096), row.entries);
  }
}

TEST(WideFromUtf8, ReplacesWhatIsNotUtf8AndPairsWhatIsAboveTheBasicPlane) {
  EXPECT_EQ(WideFromUtf8("a\xC3\xA9"), L"a\u00e9");
  EXPECT_EQ(WideFromUtf8("\xF0\x9F\x98\x80"), std::wstring({wchar_t(0xD83D), wchar_t(0xDE00)}));
  EXPECT_EQ(WideFromUtf8("\xC0\xAF"), L"\uFFFD\uFFFD");  // overlong
  EXPECT_EQ(WideFromUtf8("\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD");  // a surrogate
  EXPECT_EQ(WideFromUtf8("\xE2\x82"), L"\uFFFD\uFFFD");  // cut short
  EXPECT_EQ(WideFromUtf8("\xFF"), L"\uFFFD");
}

}  // namespace
}  // namespace zor
