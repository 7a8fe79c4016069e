#pragma once
// The copy that a rename across volumes falls back on.
#include <string_view>

#include "foundation/status_codes.h"
#include "platform/native_types.h"

namespace zor {

// Copies a file: through kernel32 CopyFileW when it was found at start-up
// (both paths in their "\\?\" form), otherwise through the native
// interface. An existing target is refused when `failIfExists` is set and
// replaced otherwise.
StatusCode CopyFileForRename(std::wstring_view source, std::wstring_view target, bool failIfExists);

// The native copy alone: content, attributes and times.
StatusCode CopyFileNative(const UNICODE_STRING& source, const UNICODE_STRING& target, bool failIfExists);

}  // namespace zor
