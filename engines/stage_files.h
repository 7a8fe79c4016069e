#pragma once
// Where the stages put the files they make: tools and scripts they carry go
// to the user's temporary folder under a random name and are deleted after
// use; the logs of those tools go beside the program, where the
// administrator finds them whatever folder the run was started from.
#include <string>
#include <string_view>

#include "foundation/status_codes.h"

namespace zor {

// TMP, else TEMP, else USERPROFILE: the first that is set and not empty.
StatusCode TemporaryFolder(std::wstring& folder);

// "zor-" and a version-4 UUID from the program's random source, in lower
// case, with ".tmp": the temporary files' common name.
std::wstring TemporaryToolName();

// The file `name` in the folder of the program's own file.
StatusCode BesideProgram(std::wstring_view name, std::wstring& path);

}  // namespace zor
