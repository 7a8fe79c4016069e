#include "foundation/integer_text.h"

#include <gtest/gtest.h>

namespace zor {
namespace {

TEST(IntegerFromText, ReadsTheLeadingNumber) {
  const struct {
    const wchar_t* text;
    std::int32_t expected;
  } rows[] = {
      {L"", 0},
      {L"12abc", 12},
      {L"0x1F", 31},
      {L"0X1f", 31},
      {L"-7", -7},
      {L"abc", 0},
      {L"2x", 2},
      {L"0x", 0},            // "0x" alone is decimal 0 followed by a stray x
      {L"0xg", 0},           // base 16 selected, no hex digit follows
      {L"-", 0},
      {L"2147483647", 2147483647},
      {L"2147483648", 214748364},  // stops before passing the decimal limit
      {L"-2147483648", INT32_MIN},
      {L"-2147483649", -214748364},
      {L"0xFFFFFFFF", -1},
      {L"0x100000000", 0x10000000},
      {L"-0x10", -16},
      {L"007", 7},
      {L" 5", 0},
      {L"1 2", 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << "text: " << std::wstring(row.text).size() << " units, row value "
                                      << row.expected);
    EXPECT_EQ(IntegerFromText(row.text), row.expected);
  }
}

}  // namespace
}  // namespace zor
