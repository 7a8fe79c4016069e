#include "platform/registry_value.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zor {
namespace {

using Bytes = std::vector<std::uint8_t>;

// UTF-16LE bytes of the units of `text`, NUL units included.
Bytes Units(std::wstring_view text) {
  Bytes bytes;
  for (wchar_t c : text) {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
  }
  return bytes;
}

std::wstring Text(const wchar_t* units, std::size_t count) { return std::wstring(units, count); }

TEST(RegistryValue, BuildsStringsListsAndNumbersAsStored) {
  const struct {
    const char* label;
    RegistryValue value;
    std::uint32_t type;
    Bytes data;
  } rows[] = {
      {"string", RegistryValue::FromString(L"ab"), 1, Units(Text(L"ab\0", 3))},
      {"empty string", RegistryValue::FromString(L""), 1, Bytes{0, 0}},
      {"string beyond Latin-1", RegistryValue::FromString(L"\x0141"), 1, Bytes{0x41, 0x01, 0, 0}},
      {"list", RegistryValue::FromMultiString({L"a", L"bc"}), 7, Units(Text(L"a\0bc\0\0", 6))},
      {"empty list", RegistryValue::FromMultiString({}), 7, Bytes{0, 0}},
      {"list of one empty string", RegistryValue::FromMultiString({L""}), 7, Bytes{0, 0, 0, 0}},
      {"dword", RegistryValue::FromDword(0x12345678), 4, Bytes{0x78, 0x56, 0x34, 0x12}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(row.value.Type(), row.type);
    EXPECT_EQ(row.value.Data(), row.data);
  }
}

TEST(RegistryValue, EnsureTerminatorsCompletesTextValues) {
  const struct {
    const char* label;
    std::uint32_t type;
    Bytes data;
    Bytes expected;
  } rows[] = {
      {"string without terminator", 1, Units(L"ab"), Units(Text(L"ab\0", 3))},
      {"string with terminator", 1, Units(Text(L"ab\0", 3)), Units(Text(L"ab\0", 3))},
      {"expandable string", 2, Units(L"%x%"), Units(Text(L"%x%\0", 4))},
      {"empty string", 1, Bytes{}, Bytes{}},
      {"string of odd length", 1, Bytes{'a', 0, 'b'}, Units(Text(L"a\0", 2))},
      {"list with one final NUL", 7, Units(Text(L"a\0b\0", 4)), Units(Text(L"a\0b\0\0", 5))},
      {"list with both NULs", 7, Units(Text(L"a\0b\0\0", 5)), Units(Text(L"a\0b\0\0", 5))},
      {"list without any NUL after its last string", 7, Units(Text(L"a\0b", 3)), Units(Text(L"a\0b\0\0", 5))},
      {"list of one string without NUL", 7, Units(L"ab"), Units(Text(L"ab\0\0", 4))},
      {"list of one unit", 7, Units(L"a"), Units(Text(L"a\0\0", 3))},
      {"list of one NUL", 7, Bytes{0, 0}, Bytes{0, 0}},
      {"empty list", 7, Bytes{}, Bytes{}},
      {"binary", 3, Bytes{1, 2, 3}, Bytes{1, 2, 3}},
      {"dword", 4, Bytes{1, 0, 0, 0}, Bytes{1, 0, 0, 0}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    RegistryValue value(row.type, row.data);
    value.EnsureTerminators();
    EXPECT_EQ(value.Type(), row.type);
    EXPECT_EQ(value.Data(), row.expected);
  }
}

TEST(RegistryValue, ToStringDropsTheTerminatorAndKeepsInnerNuls) {
  const struct {
    const char* label;
    std::uint32_t type;
    Bytes data;
    std::uint32_t status;
    std::wstring text;
  } rows[] = {
      {"string", 1, Units(Text(L"ab\0", 3)), 0, L"ab"},
      {"expandable string is not expanded", 2, Units(Text(L"%TEMP%\0", 7)), 0, L"%TEMP%"},
      {"inner NUL", 1, Units(Text(L"a\0b\0", 4)), 0, Text(L"a\0b", 3)},
      {"empty", 1, Bytes{}, 0, L""},
      {"list", 7, Units(Text(L"a\0\0", 3)), 0xE0010014, L"sentinel"},
      {"dword", 4, Bytes{1, 0, 0, 0}, 0xE0010014, L"sentinel"},
      {"binary", 3, Units(Text(L"a\0", 2)), 0xE0010014, L"sentinel"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    std::wstring text = L"sentinel";
    EXPECT_EQ(static_cast<std::uint32_t>(RegistryValue(row.type, row.data).ToString(text)), row.status);
    EXPECT_EQ(text, row.text);
  }
}

TEST(RegistryValue, ToMultiStringSplitsAtEachNul) {
  const std::vector<std::wstring> sentinel{L"sentinel"};
  const struct {
    const char* label;
    std::uint32_t type;
    std::wstring units;
    std::uint32_t status;
    std::vector<std::wstring> list;
  } rows[] = {
      {"two strings", 7, Text(L"a\0bc\0\0", 6), 0, {L"a", L"bc"}},
      {"empty string inside", 7, Text(L"a\0\0b\0\0", 6), 0, {L"a", L"", L"b"}},
      {"one empty string", 7, Text(L"\0\0", 2), 0, {L""}},
      {"one unit", 7, Text(L"\0", 1), 0, {}},
      {"no data", 7, L"", 0, {}},
      {"string", 1, Text(L"a\0", 2), 0xE0010014, sentinel},
      {"expandable string", 2, Text(L"a\0", 2), 0xE0010014, sentinel},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    std::vector<std::wstring> list = sentinel;
    EXPECT_EQ(static_cast<std::uint32_t>(RegistryValue(row.type, Units(row.units)).ToMultiString(list)), row.status);
    EXPECT_EQ(list, row.list);
  }
}

TEST(RegistryValue, ListsSurviveTheRoundTrip) {
  const std::vector<std::vector<std::wstring>> lists = {
      {}, {L""}, {L"autocheck autochk *"}, {L"a", L"", L"b"}, {L"x", L"y", L"z"}};
  for (const auto& list : lists) {
    SCOPED_TRACE(list.size());
    RegistryValue value = RegistryValue::FromMultiString(list);
    value.EnsureTerminators();
    std::vector<std::wstring> back{L"sentinel"};
    ASSERT_EQ(value.ToMultiString(back), status::Success);
    EXPECT_EQ(back, list);
  }
}

TEST(RegistryValue, ToDwordReadsBothByteOrdersAndChecksTypeAndLength) {
  const struct {
    const char* label;
    std::uint32_t type;
    Bytes data;
    std::uint32_t status;
    std::uint32_t value;
  } rows[] = {
      {"little-endian", 4, Bytes{0x78, 0x56, 0x34, 0x12}, 0, 0x12345678},
      {"big-endian", 5, Bytes{0x12, 0x34, 0x56, 0x78}, 0, 0x12345678},
      {"big-endian high bit", 5, Bytes{0xFF, 0x00, 0x00, 0x01}, 0, 0xFF000001},
      {"too short", 4, Bytes{1, 2}, 0xE0010049, 0xDEADBEEF},
      {"too long", 4, Bytes{1, 2, 3, 4, 5, 6, 7, 8}, 0xE0010049, 0xDEADBEEF},
      {"empty", 5, Bytes{}, 0xE0010049, 0xDEADBEEF},
      {"binary of four bytes", 3, Bytes{1, 2, 3, 4}, 0xE0010014, 0xDEADBEEF},
      {"quad word", 11, Bytes{1, 2, 3, 4, 5, 6, 7, 8}, 0xE0010014, 0xDEADBEEF},
      {"string", 1, Units(Text(L"1\0", 2)), 0xE0010014, 0xDEADBEEF},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    std::uint32_t value = 0xDEADBEEF;
    EXPECT_EQ(static_cast<std::uint32_t>(RegistryValue(row.type, row.data).ToDword(value)), row.status);
    EXPECT_EQ(value, row.value);
  }
}

}  // namespace
}  // namespace zor
