#pragma once
// A file made afresh and written in one piece: the create fails when a file
// of that name exists already, so nothing of anyone else's is overwritten.
#include <cstddef>
#include <span>
#include <string_view>

#include "foundation/status_codes.h"

namespace zor {

// Made with write access, shared for reading only, written synchronously and
// closed. A file that was made but could not be written stays.
StatusCode WriteNewFile(std::wstring_view path, std::span<const std::byte> content);

}  // namespace zor
