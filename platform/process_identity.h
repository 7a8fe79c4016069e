#pragma once
// What the process knows of itself: its rights and its own command line.
#include <string>

#include "foundation/status_codes.h"

namespace zor {

// Yes when the token's groups hold BUILTIN\Administrators (S-1-5-32-544),
// whatever the group's attributes say.
StatusCode IsAdministrator(bool& isAdministrator);

// The command line recorded in the process parameters block.
StatusCode GetProcessCommandLine(std::wstring& commandLine);

// The full path of the program's executable file.
StatusCode ProgramModulePath(std::wstring& path);

}  // namespace zor
