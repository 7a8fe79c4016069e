#include "platform/link_check.h"

#include <cstdint>
#include <string>

#include "platform/directory_lister.h"
#include "platform/file_operations.h"
#include "platform/path_text.h"

namespace zor {
namespace {

// How the folder that holds `path` lists it. The listing matches the name
// as the file system does, without regard to case, so a link is found
// under any spelling of its name.
bool ListedAsLink(std::wstring_view path) {
  std::wstring trimmed(path);
  while (trimmed.size() > 1 && IsPathSeparator(trimmed.back())) trimmed.pop_back();
  std::wstring parent;
  std::wstring name;
  if (IsFailure(ParentFolder(trimmed, parent)) || IsFailure(LastComponent(trimmed, name))) return false;
  if (parent.empty() || name.empty()) return false;
  DirectoryLister lister;
  if (lister.OpenListing(parent, name.c_str(), ListEverything) != status::Success) return false;
  FolderEntry entry;
  return lister.CurrentEntry(entry) == status::Success && (entry.attributes & kAttributeReparsePoint) != 0;
}

}  // namespace

StatusCode QueryIsLink(std::wstring_view path, bool& isLink) {
  std::uint32_t attributes = 0;
  const StatusCode queried = QueryAttributes(path, attributes);
  if (IsFailure(queried)) return queried;
  isLink = (attributes & kAttributeReparsePoint) != 0 || ListedAsLink(path);
  return status::Success;
}

}  // namespace zor
