#pragma once
// The system's lower-casing of text (RtlDowncaseUnicodeString), for
// comparisons that must agree with how Windows folds paths.
#include <string>
#include <string_view>

#include "foundation/status_codes.h"

namespace zor {

// `lower` is left as it was on failure.
StatusCode DowncaseText(std::wstring_view text, std::wstring& lower);

}  // namespace zor
