#include "platform/console_chunks.h"

#include <gtest/gtest.h>

#include <string>

namespace zor {
namespace {

TEST(NextChunkLength, NeverEndsAChunkInsideASurrogatePair) {
  const wchar_t high = static_cast<wchar_t>(0xD83D);
  const wchar_t low = static_cast<wchar_t>(0xDE00);
  const struct {
    std::wstring text;
    std::size_t limit;
    std::size_t expected;
  } rows[] = {
      {L"", 4, 0},
      {L"abc", 4, 3},
      {L"abcd", 4, 4},
      {L"abcde", 4, 4},
      {std::wstring{L'a', L'b', L'c', high, low}, 4, 3},  // the pair moves to the next chunk
      {std::wstring{L'a', L'b', high, low, L'e'}, 4, 4},  // the pair ends the chunk whole
      {std::wstring{L'a', L'b', L'c', low, L'e'}, 4, 4},  // a lone second half is no pair
      {std::wstring(40000, L'x'), kConsoleChunkUnits, 32766},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << "length " << row.text.size() << " limit " << row.limit);
    EXPECT_EQ(NextChunkLength(row.text, row.limit), row.expected);
  }
}

}  // namespace
}  // namespace zor
