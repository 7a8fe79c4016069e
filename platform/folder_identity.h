#pragma once
// What a folder is, as opposed to how its path is spelled: one folder has
// many spellings (8.3 names, another drive letter mapping the same volume,
// "\\?\" and "\\.\" prefixes, trailing dots), but one volume and one file id.
#include <cstdint>
#include <string_view>

#include "foundation/status_codes.h"

namespace zor {

struct FolderIdentity {
  std::uint32_t volumeSerial = 0;
  std::uint64_t fileId = 0;
  bool operator==(const FolderIdentity&) const = default;
};

// Opens the folder (following links, as a delete below it would) and reads
// its identity. A path that names no folder, or a folder that cannot be
// opened or asked, fails; `identity` is then left as it was.
StatusCode IdentifyFolder(std::wstring_view path, FolderIdentity& identity);

}  // namespace zor
