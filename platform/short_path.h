#pragma once
// The 8.3 form of an existing path.
#include <string>
#include <string_view>

#include "foundation/status_codes.h"

namespace zor {

// Each component after the drive is replaced by its short name where the
// file system keeps one. A path that starts with two backslashes is given
// back as it is, less one trailing separator. The path must exist: the
// failure to read its attributes is returned. `shortPath` is left as it
// was on failure.
StatusCode ShortPath(std::wstring_view path, std::wstring& shortPath);

}  // namespace zor
