#pragma once
#include <string>

namespace zor {

// The value of a variable of the process's environment; empty when it is
// not set or cannot be read.
std::wstring EnvironmentVariable(const wchar_t* name);

}  // namespace zor
