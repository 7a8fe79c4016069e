#include "platform/short_path.h"

#include <new>

#include "platform/directory_lister.h"
#include "platform/file_operations.h"
#include "platform/path_text.h"

namespace zor {
namespace {

// The short name of `component` as its parent folder lists it; the
// component itself when the folder keeps none or cannot be listed.
std::wstring ShortComponent(const std::wstring& parent, const std::wstring& component) {
  DirectoryLister lister;
  if (lister.OpenListing(parent.empty() ? std::wstring_view(L".") : std::wstring_view(parent), component.c_str(),
                         ListEverything) != status::Success) {
    return component;
  }
  FolderEntry entry;
  if (IsFailure(lister.CurrentEntry(entry)) || entry.shortName[0] == L'\0') return component;
  return entry.shortName;
}

}  // namespace

StatusCode ShortPath(std::wstring_view path, std::wstring& shortPath) {
  std::uint32_t attributes = 0;
  const StatusCode exists = QueryAttributes(path, attributes);
  if (IsFailure(exists)) return exists;
  try {
    if (path.substr(0, 2) == L"\\\\") {
      std::wstring_view given = path;
      if (given.size() > 2 && IsPathSeparator(given.back())) given.remove_suffix(1);
      shortPath = given;
      return status::Success;
    }
    const ShortPathPieces pieces = SplitForShortPath(path);
    std::wstring result = pieces.head;
    std::wstring parent = pieces.head;
    for (std::size_t at = 0; at < pieces.components.size(); ++at) {
      const std::wstring& component = pieces.components[at];
      if (at > 0) result += L'\\';
      result += ShortComponent(parent, component);
      if (!parent.empty() && !IsPathSeparator(parent.back()) && parent.back() != L':') parent += L'\\';
      parent += component;
    }
    shortPath = std::move(result);
    return status::Success;
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  }
}

}  // namespace zor
