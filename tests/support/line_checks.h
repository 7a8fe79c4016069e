#pragma once
// Checks on lines of text that tests read back from logs and listings.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/narrow_text.h"

namespace zor::test {

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
