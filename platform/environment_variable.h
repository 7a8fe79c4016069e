#pragma once
#include <string>

namespace zor {

// The value of a variable of the process's environment; empty when it is
// not set or cannot be read.
std::wstring EnvironmentVariable(const wchar_t* name);

// True when the variable is set, even to an empty value, and when the
// environment cannot be read: a mark must not vanish through an error.
bool IsEnvironmentVariableSet(const wchar_t* name);

}  // namespace zor
