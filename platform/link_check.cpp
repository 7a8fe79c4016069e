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
// under any spelling of its name. A listing that cannot be read, or that
// does not show the name, answers nothing: the failure is returned.
StatusCode ListedAsLink(std::wstring_view path, bool& isLink) {
  std::wstring trimmed(path);
  while (trimmed.size() > 1 && IsPathSeparator(trimmed.back())) trimmed.pop_back();
  std::wstring parent;
  std::wstring name;
  const StatusCode split = ParentFolder(trimmed, parent);
  if (IsFailure(split)) return split;
  const StatusCode named = LastComponent(trimmed, name);
  if (IsFailure(named)) return named;
  // A root has no folder above it to list it, and is no link.
  if (parent.empty() || name.empty()) {
    isLink = false;
    return status::Success;
  }
  DirectoryLister lister;
  const StatusCode listed = lister.OpenListing(parent, name.c_str(), ListEverything);
  if (listed == status::ListingEnd) return status::NoCurrentEntry;
  if (IsFailure(listed)) return listed;
  FolderEntry entry;
  const StatusCode read = lister.CurrentEntry(entry);
  if (IsFailure(read)) return read;
  isLink = (entry.attributes & kAttributeReparsePoint) != 0;
  return status::Success;
}

}  // namespace

StatusCode QueryIsLink(std::wstring_view path, bool& isLink) {
  std::uint32_t attributes = 0;
  const StatusCode queried = QueryAttributes(path, attributes);
  if (IsFailure(queried)) return queried;
  if (attributes & kAttributeReparsePoint) {
    isLink = true;
    return status::Success;
  }
  return ListedAsLink(path, isLink);
}

}  // namespace zor
