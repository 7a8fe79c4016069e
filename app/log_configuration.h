#pragma once
// The program's own log configuration: it has no configuration file, so the
// text is built in. No Windows header.
#include <string>
#include <string_view>

namespace zor {

// The built-in configuration with every "{DIR}" replaced by `programFolder`.
std::wstring BuiltInLogConfiguration(std::wstring_view programFolder);

}  // namespace zor
