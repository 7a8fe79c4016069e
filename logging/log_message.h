#pragma once
// The message text of a record, made from the call's text and typed
// arguments before any appender sees it. No Windows header.
#include <cstdint>
#include <string>
#include <string_view>

#include "logging/log_argument.h"

namespace zor {

// Logger option bit 0: typed arguments without text are rendered one after
// another, and line breaks in the message become vertical tabs.
inline constexpr std::uint32_t kLoggerRendersArguments = 1;

// printf-style expansion with typed arguments: "%s", "%d", "%i", "%u", "%x",
// "%X", "%c", "%f", "%g", "%e" with the flags "-" and "0", a width (at most
// kMaxFieldWidth), a precision (ignored) and size prefixes (ignored); "%%" is
// one "%". A placeholder without an argument shows nothing; an unknown one
// stays as written.
std::wstring ExpandMessageFormat(std::wstring_view format, const LogArgumentList& arguments);

std::wstring BuildMessage(std::uint32_t options, std::wstring_view text, const LogArgumentList& arguments);

}  // namespace zor
