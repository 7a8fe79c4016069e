#pragma once
// A path made full the way Windows makes it for a call: relative to the
// current folder, or to the current folder of its drive.
#include <string>
#include <string_view>

#include "foundation/status_codes.h"

namespace zor {

// `full` is left as it was on failure.
StatusCode FullPathOf(std::wstring_view path, std::wstring& full);

}  // namespace zor
