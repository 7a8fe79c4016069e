#include "foundation/format_text.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

namespace zor {
namespace {

TEST(FormatText, RendersThePlaceholdersOfTheMessages) {
  const std::wstring path = L"C:\\ZOR";
  EXPECT_EQ(FormatText(L"ZorDir param set to %s.", path), L"ZorDir param set to C:\\ZOR.");
  EXPECT_EQ(FormatText(L"(error: %x)", static_cast<std::int32_t>(0xE0010013)), L"(error: e0010013)");
  EXPECT_EQ(FormatText(L"%08x", 0x1F), L"0000001f");
  EXPECT_EQ(FormatText(L"%08x", static_cast<std::int32_t>(0xC0000005)), L"c0000005");
  EXPECT_EQ(FormatText(L"%X", 255u), L"FF");
  EXPECT_EQ(FormatText(L"%d and %d", -12, 7), L"-12 and 7");
  EXPECT_EQ(FormatText(L"%d", INT32_MIN), L"-2147483648");
  EXPECT_EQ(FormatText(L"%u", 4294967295u), L"4294967295");
  EXPECT_EQ(FormatText(L"[%5d|%-4s|%05d]", 42, L"ab", -42), L"[   42|ab  |-0042]");
  EXPECT_EQ(FormatText(L"100%% done"), L"100% done");
  EXPECT_EQ(FormatText(L"%ld %lx", 5L, 16L), L"5 10");
}

TEST(FormatText, ToleratesMissingArgumentsAndUnknownConversions) {
  EXPECT_EQ(FormatText(L"a %s b"), L"a  b");
  EXPECT_EQ(FormatText(L"%q %s", L"x"), L"%q x");
  EXPECT_EQ(FormatText(L"trailing %"), L"trailing %");
  EXPECT_EQ(FormatText(L"%s", 12), L"12");    // a number where text was asked
  EXPECT_EQ(FormatText(L"%d", L"text"), L"text");
  EXPECT_EQ(FormatText(L"%s", static_cast<const wchar_t*>(nullptr)), L"");
}

// Widths come from format texts, some of them from a configuration file:
// however many digits they have, a field stays within the limit.
TEST(FormatText, WidthsAreCappedAtTheLimit) {
  ASSERT_EQ(kMaxFieldWidth, 1024u);
  const std::wstring spaces(1023, L' ');
  const struct {
    const wchar_t* format;
    std::wstring expected;
  } rows[] = {
      {L"%1023u", std::wstring(1022, L' ') + L"7"},
      {L"%1024u", spaces + L"7"},
      {L"%1025u", spaces + L"7"},
      {L"%999999999d", spaces + L"7"},
      {L"%17423648u", spaces + L"7"},
      // More digits than any integer holds: the count stops at the limit.
      {L"%99999999999999999999999999999999999999d", spaces + L"7"},
      {L"%18446744073709551617u", spaces + L"7"},
      {L"%-999999999d|", L"7" + spaces + L"|"},
      {L"%0999999999x", std::wstring(1023, L'0') + L"7"},
      {L"%000000000000000000000000000000000000000000005d", L"00007"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << std::string(row.format, row.format + std::wcslen(row.format)));
    EXPECT_EQ(FormatText(row.format, 7u), row.expected);
  }
  EXPECT_EQ(FormatText(L"%0999999999d", -7), L"-" + std::wstring(1022, L'0') + L"7");
  EXPECT_EQ(FormatText(L"[%99999999999s]", L"ab"), L"[" + std::wstring(1022, L' ') + L"ab]");
}

TEST(FormatText, ReadingAWidthStopsAtTheLimitAndMovesPastEveryDigit) {
  const struct {
    const wchar_t* format;
    std::size_t start;
    std::size_t width;
    std::size_t end;
  } rows[] = {
      {L"%5d", 1, 5, 2},
      {L"%d", 1, 0, 1},
      {L"%1024d", 1, 1024, 5},
      {L"%10240d", 1, 1024, 6},
      {L"%99999999999999999999999999999999d", 1, 1024, 33},
      {L"12", 0, 12, 2},
      {L"", 0, 0, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << std::string(row.format, row.format + std::wcslen(row.format)));
    std::size_t position = row.start;
    EXPECT_EQ(ReadFieldWidth(row.format, position), row.width);
    EXPECT_EQ(position, row.end);
  }
}

}  // namespace
}  // namespace zor
