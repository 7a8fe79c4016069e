#pragma once
// Wide text as the byte text it is in these tests, for failure messages and
// for comparing with lines read back as bytes.
#include <string>
#include <string_view>

namespace zor::test {

// Any character beyond ASCII shows as "?".
inline std::string Narrow(std::wstring_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (wchar_t c : text) narrow.push_back(static_cast<unsigned>(c) < 0x80 ? static_cast<char>(c) : '?');
  return narrow;
}

}  // namespace zor::test
