#pragma once
// Telling a link from the folder or file it stands for, before anything is
// listed or deleted below its name.
#include <string_view>

#include "foundation/status_codes.h"

namespace zor {

// Whether the object at `path` is a link (a symbolic link, a mount point or
// any other reparse point): by the attributes its own handle shows or, on
// a system whose handle shows a link's target (Wine with Unix symbolic
// links), by how the folder that holds it lists it. The open failure when
// nothing is there (0xE001003D, 0xE001003E); the failure to read that
// listing (0xE001000E when it does not show the name), for which the
// answer is not known. `isLink` is left as it was on failure.
StatusCode QueryIsLink(std::wstring_view path, bool& isLink);

}  // namespace zor
