#include "app/format_text.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace zor
