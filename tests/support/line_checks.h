#pragma once
// Checks on lines of text that tests read back from logs and listings.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace zor::test {

// Wide text as the byte text it is in these tests; any character beyond
// ASCII shows as "?".
inline std::string Ascii(std::wstring_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (wchar_t c : text) narrow.push_back(static_cast<unsigned>(c) < 0x80 ? static_cast<char>(c) : '?');
  return narrow;
}

inline bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// One text of all lines, for a failure message.
inline std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

}  // namespace zor::test
