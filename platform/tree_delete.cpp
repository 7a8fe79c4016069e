#include "platform/tree_delete.h"

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/directory_lister.h"
#include "platform/file_operations.h"
#include "platform/native_api.h"
#include "platform/native_file.h"
#include "platform/nt_path.h"

namespace zor {
namespace {

using namespace native_file;

constexpr ACCESS_MASK kWalkAccess = FILE_LIST_DIRECTORY | SYNCHRONIZE | FILE_READ_ATTRIBUTES;
constexpr ULONG kWalkOptions = kOpenReparsePoint | kBackupIntent | kSynchronousIo | kDirectoryFile;

// Opens a folder to list it. nt::ReparsePointEncountered when the folder is a
// link: the handle says so, or the folder's parent lists it as one (on a
// system that refuses FILE_OPEN_REPARSE_POINT: does not list it as an
// ordinary folder). The failure of the listing check is returned.
NTSTATUS OpenFolderToWalk(HANDLE root, const UNICODE_STRING& name, const ListingCheck& listing, UniqueNtHandle& folder) {
  UniqueNtHandle opened;
  bool openedAsItself = true;
  NTSTATUS status = Open(root, name, kWalkAccess, kShareAll, kWalkOptions, opened);
  if (status == nt::InvalidParameter) {
    openedAsItself = false;
    status = Open(root, name, kWalkAccess, kShareAll, kWalkOptions & ~kOpenReparsePoint, opened);
  }
  if (!NT_SUCCESS(status)) return status;
  ULONG attributes = 0;
  ULONG tag = 0;
  status = QueryAttributeTag(opened.get(), attributes, tag);
  if (!NT_SUCCESS(status) && status != nt::NotImplemented && status != nt::InvalidParameter) return status;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return nt::ReparsePointEncountered;
  Listed listed = Listed::Unknown;
  status = listing(listed);
  if (!NT_SUCCESS(status)) return status;
  if (listed == Listed::Link || (!openedAsItself && listed != Listed::NotLink)) return nt::ReparsePointEncountered;
  folder = std::move(opened);
  return nt::Success;
}

// How a folder being walked lists one of its entries; an entry it cannot
// vouch for counts as a link, so nothing is listed through it.
NTSTATUS ListedInWalk(HANDLE parent, const UNICODE_STRING& name, Listed& listed) {
  Listed asked = Listed::Unknown;
  const NTSTATUS status = QueryListed(parent, name, asked);
  listed = NT_SUCCESS(status) && asked == Listed::NotLink ? Listed::NotLink : Listed::Link;
  return nt::Success;
}

// A listing check whose answer is known already.
ListingCheck Answer(Listed said) {
  return [said](Listed& listed) {
    listed = said;
    return nt::Success;
  };
}

// What the walk's own listing said of an entry.
ListingCheck AsListed(const FolderEntry& entry) {
  return Answer((entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? Listed::Link : Listed::NotLink);
}

// One folder of the walk, with its open listing.
struct Level {
  UniqueNtHandle owned;  // empty for the top, which the caller holds
  HANDLE folder = nullptr;
  std::wstring path;     // for what is left behind
  DirectoryLister lister;
  StatusCode state = status::Success;  // of the last read: 0 while an entry is current
};

// Removes one entry of a folder being walked; what cannot go is handed to
// `leftInTree`. A folder that is to be walked is handed back open instead.
void RemoveEntry(const Level& level, const FolderEntry& entry, const LeftInTree& leftInTree, UniqueNtHandle& child) {
  const std::wstring_view name(entry.name);
  if (name == L"." || name == L"..") return;
  const UNICODE_STRING counted = CountedName(name.data(), name.size());
  const bool folder = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const bool reparsePoint = (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  NTSTATUS removed = nt::Success;
  if (!folder) {
    removed = DeleteFileAt(level.folder, counted, AsListed(entry), true);
  } else if (reparsePoint) {
    removed = DeleteFolderAt(level.folder, counted, AsListed(entry));
  } else {
    const NTSTATUS opened = OpenFolderToWalk(
        level.folder, counted, [&](Listed& listed) { return ListedInWalk(level.folder, counted, listed); }, child);
    // Became a link since the listing: removed as one, never walked.
    if (opened == nt::ReparsePointEncountered) removed = DeleteFolderAt(level.folder, counted, Answer(Listed::Link));
  }
  if (NT_SUCCESS(removed) || !leftInTree) return;
  std::wstring path = level.path;
  path += L'\\';
  path += name;
  leftInTree(path, folder, FileStatus(removed));
}

std::unique_ptr<Level> StartLevel(HANDLE folder, UniqueNtHandle owned, std::wstring path) {
  auto level = std::make_unique<Level>();
  level->owned = std::move(owned);
  level->folder = folder;
  level->path = std::move(path);
  level->state = level->lister.OpenListingOf(folder, {}, nullptr, ListEverything);
  return level;
}

// Removes every entry of the top folder, depth first, with one open
// listing per level and no recursion, so the depth of a tree cannot
// exhaust the stack. The result is the top listing's failure, if any; a
// deeper folder whose listing fails is left in place and its parent goes on.
StatusCode EmptyFolder(HANDLE top, std::wstring_view topPath, const LeftInTree& leftInTree) {
  std::wstring path(topPath);
  while (path.size() > 1 && IsPathSeparator(path.back())) path.pop_back();
  std::vector<std::unique_ptr<Level>> levels;
  levels.push_back(StartLevel(top, UniqueNtHandle(), std::move(path)));
  for (;;) {
    Level& level = *levels.back();
    if (level.state == status::Success) {
      FolderEntry entry;
      const StatusCode read = level.lister.CurrentEntry(entry);
      UniqueNtHandle child;
      if (read == status::Success) RemoveEntry(level, entry, leftInTree, child);
      level.state = IsFailure(read) ? read : level.lister.NextEntry();
      if (child) {
        const HANDLE folder = child.get();
        levels.push_back(StartLevel(folder, std::move(child), level.path + L'\\' + entry.name));
      }
      continue;
    }
    const StatusCode outcome = level.state == status::ListingEnd ? status::Success : level.state;
    if (levels.size() == 1) return outcome;
    if (outcome == status::Success) DeleteFolderThroughHandle(level.folder);
    levels.pop_back();
  }
}

}  // namespace

StatusCode DeleteTree(std::wstring_view path, bool recursive, const LeftInTree& leftInTree) {
  if (!recursive) return DeleteFolder(path);
  NtPath ntPath;
  const StatusCode converted = ToNtPath(path, ntPath);
  if (IsFailure(converted)) return converted;
  const UNICODE_STRING& name = *ntPath.get();
  UniqueNtHandle top;
  const NTSTATUS opened =
      OpenFolderToWalk(nullptr, name, [&name](Listed& listed) { return QueryListedByPath(name, listed); }, top);
  if (opened == nt::ReparsePointEncountered) return DeleteFolder(path);
  if (!NT_SUCCESS(opened)) return ListingOpenFailure(opened, path, path);
  try {
    const StatusCode emptied = EmptyFolder(top.get(), path, leftInTree);
    if (IsFailure(emptied)) return emptied;
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  }
  return FileStatus(DeleteFolderThroughHandle(top.get()));
}

StatusCode DeleteAllMatching(std::wstring_view folder, std::wstring_view mask, std::uint32_t& deleted) {
  const StatusCode exists = FolderExists(folder);
  if (IsFailure(exists)) return exists;
  std::wstring fileMask;
  const std::wstring givenMask(mask);
  const StatusCode resolved = ResolvedListingMask(folder, givenMask.empty() ? nullptr : givenMask.c_str(), fileMask);
  if (IsFailure(resolved)) return resolved;
  NtPath ntPath;
  const StatusCode converted = ToNtPath(folder, ntPath);
  if (IsFailure(converted)) return converted;
  const UNICODE_STRING& name = *ntPath.get();
  UniqueNtHandle handle;
  const NTSTATUS opened =
      OpenFolderToWalk(nullptr, name, [&name](Listed& listed) { return QueryListedByPath(name, listed); }, handle);
  if (!NT_SUCCESS(opened)) return opened == nt::ReparsePointEncountered ? status::LinkNotFollowed : ListingOpenFailure(opened, folder, folder);

  DirectoryLister lister;
  StatusCode step = lister.OpenListingOf(handle.get(), folder, fileMask.c_str(), ListFiles | ListReparsePoints);
  if (IsFailure(step)) return step;
  std::uint32_t count = 0;
  while (step == status::Success) {
    FolderEntry entry;
    step = lister.CurrentEntry(entry);
    if (IsFailure(step)) break;
    const std::wstring_view entryName(entry.name);
    const NTSTATUS removed = DeleteFileAt(handle.get(), CountedName(entryName.data(), entryName.size()), AsListed(entry), true);
    if (!NT_SUCCESS(removed)) {
      deleted = count;
      return FileStatus(removed);
    }
    ++count;
    step = lister.NextEntry();
  }
  deleted = count;
  return step == status::ListingEnd ? status::Success : step;
}

}  // namespace zor
