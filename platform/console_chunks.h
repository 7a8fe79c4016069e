#pragma once
// Console text is converted in chunks that never split a surrogate pair.
// Portable: no Windows header.
#include <cstddef>
#include <string_view>

namespace zor {

inline constexpr std::size_t kConsoleChunkUnits = 32766;

// Units of `text` that go into the next chunk: at most `limit`, one fewer
// when the chunk would end on the first half of a surrogate pair.
constexpr std::size_t NextChunkLength(std::wstring_view text, std::size_t limit = kConsoleChunkUnits) {
  if (text.size() <= limit) return text.size();
  const wchar_t last = text[limit - 1];
  const bool endsInsidePair = last >= 0xD800 && last <= 0xDBFF;
  return endsInsidePair ? limit - 1 : limit;
}

}  // namespace zor
