#pragma once
// Console output before logging exists: formatted, converted to the OEM code
// page and written to the process's standard output handle.
#include <string_view>

#include "foundation/format_text.h"
#include "foundation/status_codes.h"

namespace zor {

StatusCode WriteConsoleText(std::wstring_view text);

template <typename... Args>
StatusCode PrintConsole(std::wstring_view format, const Args&... args) {
  return WriteConsoleText(FormatText(format, args...));
}

}  // namespace zor
