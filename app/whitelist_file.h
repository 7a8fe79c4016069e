#pragma once
// The whitelist file named by the "whitelist" option: the full paths of
// programs that the process stage must leave running, one a line.
#include <string>
#include <string_view>
#include <vector>

#include "foundation/status_codes.h"

namespace zor {

// On success `list` holds the file's entries in file order (see
// WhitelistDecoder for the encodings and lines). A file that cannot be
// opened, or a folder, gives its failure and leaves `list` empty. A read
// that fails after the start ends the reading: what was read is kept and
// the result is success.
StatusCode ReadWhitelistFile(std::wstring_view path, std::vector<std::wstring>& list);

}  // namespace zor
