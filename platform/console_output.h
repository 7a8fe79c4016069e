#pragma once
// Console output, before logging exists and for the console appender:
// formatted, converted to the OEM code page and written to the process's
// standard output or standard error handle.
#include <string_view>

#include "foundation/format_text.h"
#include "foundation/status_codes.h"

namespace zor {

// To standard output; WriteStandardErrorText to standard error. Both take
// the process's one console lock for the whole text.
StatusCode WriteConsoleText(std::wstring_view text);
StatusCode WriteStandardErrorText(std::wstring_view text);

template <typename... Args>
StatusCode PrintConsole(std::wstring_view format, const Args&... args) {
  return WriteConsoleText(FormatText(format, args...));
}

}  // namespace zor
