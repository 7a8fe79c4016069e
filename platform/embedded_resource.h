#pragma once
// A resource of the program's own file, as bytes that live as long as the
// program does.
#include <cstddef>
#include <span>

#include "foundation/status_codes.h"

namespace zor {

// The resource of type "BINARY" with the given number. A missing resource
// is the last error converted, or success with no bytes when Windows gives
// no error code; a resource that cannot be locked is 0xE0010045.
StatusCode ReadBinaryResource(int id, std::span<const std::byte>& bytes);

}  // namespace zor
