#include "engines/file_remover.h"

#include <new>
#include <vector>

#include "app/run_context.h"
#include "foundation/text_case.h"
#include "platform/directory_lister.h"
#include "platform/file_operations.h"
#include "platform/fs_redirection.h"
#include "platform/link_check.h"
#include "platform/path_text.h"
#include "platform/tree_delete.h"

namespace zor {
namespace {

constexpr std::wstring_view kFileId = L"09ED428F-C489-4b2c-A326-7E3B331CF222";

// The calling line, as a default argument evaluated where the call stands.
LogSite Here(std::source_location where = std::source_location::current()) { return {kFileId, where.line()}; }

// The texts of the two main folders, the program's and the console's.
struct MainFolderTexts {
  const wchar_t* notFound;
  const wchar_t* deleting;
  const wchar_t* failed;
};
constexpr MainFolderTexts kProgramMain{L"Main ZOR directory '%s' not found", L"Deleting ZOR path '%s'...",
                                       L"Deleting ZOR path '%s' failed with error:0x%08x"};
constexpr MainFolderTexts kAdminMain{L"Main Admin ZOR directory '%s' not found", L"Deleting Admin ZOR path '%s'...",
                                     L"Deleting Admin ZOR path '%s' failed with error:0x%08x"};

// What stays because taking it away could reach something that is no
// product file.
constexpr wchar_t kFileLinkKept[] = L"File '%s' is a link that cannot be removed as itself: it is kept";
constexpr wchar_t kFolderLinkKept[] = L"Directory '%s' is a link that cannot be removed as itself: it is kept";
constexpr wchar_t kCheckFailed[] = L"Checking directory '%s' for a link failed (error %x): it is left as it is";

// The folder above a product folder given with or without one trailing
// separator.
StatusCode MainFolderOf(const std::wstring& folder, std::wstring& main) {
  std::wstring trimmed;
  try {
    trimmed = folder;
  } catch (const std::bad_alloc&) {
    return status::OutOfMemory;
  }
  if (!trimmed.empty() && IsPathSeparator(trimmed.back())) trimmed.pop_back();
  return ParentFolder(trimmed, main);
}

bool NamedZor(const std::wstring& folder) {
  std::wstring last;
  return !IsFailure(LastComponent(folder, last)) && EqualsFoldingAscii(last, L"ZOR");
}

// What a failed open says when nothing is there under the name.
bool IsAbsence(StatusCode status) {
  return status == status::FolderWhereFileExpected || status == status::NotAFolder;
}

// The folders from the row's own folder down to, not including, its path:
// each of them could lead somewhere else if it were a link. A folder of
// Windows is taken as Windows keeps it; the product's own folders, and the
// main folder above them, are not.
std::vector<std::wstring> FoldersOnTheWay(const FileItem& item, const std::wstring& base) {
  std::vector<std::wstring> way;
  const std::wstring_view relative = item.relativePath ? item.relativePath : L"";
  if (item.parentDir == RunFolder::ZorDir || item.parentDir == RunFolder::ZorAdminDir) {
    std::wstring main;
    if (!IsFailure(MainFolderOf(base, main)) && NamedZor(main)) way.push_back(main);
  }
  if (relative.empty()) return way;
  if (IsProductParent(item.parentDir)) way.push_back(base);
  std::wstring prefix;
  std::size_t start = 0;
  for (std::size_t i = 0; i < relative.size(); ++i) {
    if (!IsPathSeparator(relative[i])) continue;
    if (i > start) {
      if (!prefix.empty()) prefix += L'\\';
      prefix.append(relative.substr(start, i - start));
      std::wstring folder;
      if (!IsFailure(CombinePath(base, prefix, folder))) way.push_back(folder);
    }
    start = i + 1;
  }
  return way;
}

// Whether the folders on a row's way can be gone through: a link among
// them, or one that could not be checked, stops the row.
struct WayCheck {
  enum Result { Clear, Link, Unchecked } result = Clear;
  std::wstring folder;
  StatusCode status = status::Success;
};

WayCheck CheckWay(const FileItem& item, const std::wstring& base) {
  for (const std::wstring& folder : FoldersOnTheWay(item, base)) {
    bool link = false;
    const StatusCode checked = QueryIsLink(folder, link);
    // Nothing is found below a folder that is not there.
    if (IsAbsence(checked)) return {};
    if (IsFailure(checked)) return {WayCheck::Unchecked, folder, checked};
    if (link) return {WayCheck::Link, folder, status::Success};
  }
  return {};
}

// A folder that is there and is no link: what may be listed for leftovers.
bool ListableFolder(const std::wstring& folder) {
  bool link = true;
  return !IsFailure(FolderExists(folder)) && !IsFailure(QueryIsLink(folder, link)) && !link;
}

}  // namespace

StatusRecord FileRemover::RemoveFilesAndFolders() { return RemoveFilesAndFolders(FileItemTable()); }

StatusRecord FileRemover::RemoveFilesAndFolders(std::span<const FileItem> items) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    try {
      ProcessItem(items[i], static_cast<std::int32_t>(i));
    } catch (const std::bad_alloc&) {
      // The row is left as it was; the next one may fare better.
    }
  }
  return RemoveMainFolders();
}

void FileRemover::ProcessItem(const FileItem& item, std::int32_t number) {
  const std::wstring* folder = FolderOf(context().parameters, item.parentDir);
  if (folder == nullptr) {
    context().Log(severity::Warn, Here(), L"Wrong ParentDir parameter for fileItem number %d", number);
    return;
  }
  if (folder->empty()) {
    context().Log(severity::Debug, Here(), L"Missing ParentDir path for fileItem number %d", number);
    return;
  }
  std::wstring path = *folder;
  if (item.relativePath != nullptr && CombinePath(*folder, item.relativePath, path) != status::Success) {
    context().Log(severity::Debug, Here(), L"Faild to combine paths '%s' and '%s'...", *folder,
                  item.relativePath);
    return;
  }
  context().Log(severity::Debug, Here(), L"Processing item '%s'", path);
  if (!WayHasNoLink(item, *folder, number)) return;
  RunActions(item, path);
}

bool FileRemover::WayHasNoLink(const FileItem& item, const std::wstring& base, std::int32_t number) {
  FsRedirectionScope redirection(item.redirect == Redirection::On);
  const WayCheck way = CheckWay(item, base);
  if (way.result == WayCheck::Link) {
    context().Log(severity::Warn, Here(), L"Directory '%s' is a link: fileItem number %d is not removed through it",
                  way.folder, number);
  } else if (way.result == WayCheck::Unchecked) {
    context().Log(severity::Warn, Here(),
                  L"Checking directory '%s' for a link failed (error %x): fileItem number %d is not removed",
                  way.folder, way.status, number);
  }
  return way.result == WayCheck::Clear;
}

void FileRemover::RunActions(const FileItem& item, const std::wstring& path) {
  const bool redirect = item.redirect == Redirection::On;
  for (const std::uint8_t action : kFileActionOrder) {
    if (!(item.actions & action)) continue;
    // An item's outcome is in the log; the stage goes on either way.
    switch (action) {
      case ActionRunSpecial: RunSpecialAction(path, item.specialAction); break;
      case ActionRemoveFolder: RemoveFolderItem(path, redirect, false, false); break;
      case ActionEmptyAndRemoveFolder: RemoveFolderItem(path, redirect, true, false); break;
      case ActionRemoveTree: RemoveFolderItem(path, redirect, true, true); break;
      case ActionDeleteFile: DeleteFileItem(path, redirect); break;
      case ActionReportSpecial: ReportSpecialAction(path, redirect, item.specialAction); break;
      case ActionDeleteMatching:
        DeleteMatchingFiles(path, item.mask ? std::wstring_view(item.mask) : std::wstring_view(), redirect);
        break;
    }
  }
}

StatusRecord FileRemover::RemoveFile(const std::wstring& path, bool reportDeletedAsInfo) {
  // Windows refuses to delete a read-only file now and at its next start
  // alike: the attribute goes first.
  const StatusCode deleted = DeleteFileNow(path, ReadOnlyAttribute::Clear);
  if (!IsFailure(deleted)) {
    context().Log(reportDeletedAsInfo ? severity::Info : severity::Debug, Here(), L"File '%s' deleted", path);
    return {};
  }
  if (deleted == status::LinkNotFollowed) {
    // Deleting it by its name at the next start would reach the target.
    context().Log(severity::Warn, Here(), kFileLinkKept, path);
    return {};
  }
  std::uint32_t attributes = 0;
  if (!IsFailure(QueryAttributes(path, attributes)) && (attributes & kAttributeReadOnly)) {
    context().Log(severity::Warn, Here(),
                  L"Removing file '%s' failed (error %x), it is still read-only: not planned for delete after restart",
                  path, deleted);
    return MakeStatus(status::GenericFailure);
  }
  std::uint32_t lastError = 0;
  if (PlanDeleteAfterRestart(path, lastError)) {
    context().Log(severity::Debug, Here(),
                  L"Removing file '%s' failed (error %x), planned for delete after restart", path, deleted);
    ++context().parameters.RestartCounter;
    return {};
  }
  context().Log(severity::Warn, Here(),
                L"Removing file '%s' failed (error %x), plan for delete after restart failed (%d)", path, deleted,
                lastError);
  return MakeStatus(status::GenericFailure);
}

LeftInTree FileRemover::LeftInTreeReport() {
  return [this](std::wstring_view path, bool folder, StatusCode why) {
    if (why == status::LinkNotFollowed) {
      context().Log(severity::Warn, Here(), folder ? kFolderLinkKept : kFileLinkKept, path);
    } else if (!folder) {
      context().Log(severity::Warn, Here(), L"File '%s' not deleted (error %x)", path, why);
    }
  };
}

StatusRecord FileRemover::DeleteFileItem(std::wstring_view path, bool redirect) {
  FsRedirectionScope redirection(redirect);
  const std::wstring file(path);
  if (IsFailure(FileExists(file))) {
    context().Log(severity::Info, Here(), L"File '%s' not found", file);
    return {};
  }
  return RemoveFile(file, false);
}

StatusRecord FileRemover::DeleteMatchingFiles(std::wstring_view folder, std::wstring_view mask, bool redirect) {
  FsRedirectionScope redirection(redirect);
  const std::wstring folderPath(folder);
  if (IsFailure(FolderExists(folderPath))) {
    context().Log(severity::Info, Here(), L"Directory '%s' not found", folderPath);
    return {};
  }
  bool link = true;
  const StatusCode checked = QueryIsLink(folderPath, link);
  if (IsFailure(checked)) {
    context().Log(severity::Warn, Here(), kCheckFailed, folderPath, checked);
    return {};
  }
  if (link) {
    context().Log(severity::Warn, Here(), L"Directory '%s' is a link: no file is deleted through it",
                  folderPath);
    return {};
  }
  const std::wstring maskText(mask);
  DirectoryLister lister;
  // Links to files are listed too: each goes as the link itself, or stays
  // with a warning.
  StatusCode step =
      lister.OpenListing(folderPath, maskText.empty() ? nullptr : maskText.c_str(), ListFiles | ListReparsePoints);
  if (IsFailure(step)) {
    context().Log(severity::Debug, Here(), L"Listing directory '%s' failed (error %x)", folderPath, step);
    return {};
  }
  while (step == status::Success) {
    FolderEntry entry;
    std::wstring path;
    if (!IsFailure(lister.CurrentEntry(entry)) && !IsFailure(lister.EntryPath(path))) RemoveFile(path, true);
    step = lister.NextEntry();
  }
  return {};
}

StatusRecord FileRemover::RemoveFolderItem(std::wstring_view path, bool redirect, bool filesFirst, bool hardForce) {
  FsRedirectionScope redirection(redirect);
  const std::wstring folder(path);
  if (IsFailure(FolderExists(folder))) {
    context().Log(severity::Info, Here(), L"Directory '%s' not found", folder);
    return {};
  }
  bool link = true;
  const StatusCode checked = QueryIsLink(folder, link);
  if (IsFailure(checked)) {
    context().Log(severity::Warn, Here(), kCheckFailed, folder, checked);
    return {};
  }
  StatusCode result = status::Success;
  if (link) {
    // A link goes as the link; what it points to is no product folder.
    context().Log(severity::Warn, Here(), L"Directory '%s' is a link: only the link is removed", folder);
    result = DeleteFolder(folder);
  } else if (hardForce) {
    context().Log(severity::Info, Here(), L"Trying HardForce delete '%s'", folder);
    result = DeleteTree(folder, true, LeftInTreeReport());
  } else if (context().parameters.DeleteDirForceHard) {
    result = DeleteTree(folder, true, LeftInTreeReport());
  } else {
    if (filesFirst) DeleteMatchingFiles(folder, L"*.*", redirect);
    result = DeleteTree(folder, false);
  }
  if (IsFailure(result)) {
    context().Log(severity::Debug, Here(), L"Directory %s not deleted (error %x)", folder, result);
  } else {
    context().Log(severity::Info, Here(), L"Directory '%s' deleted", folder);
  }
  return {};
}

StatusRecord FileRemover::ReportSpecialAction(std::wstring_view path, bool redirect, std::int32_t number) {
  FsRedirectionScope redirection(redirect);
  const std::wstring file(path);
  if (IsFailure(FileExists(file))) {
    context().Log(severity::Info, Here(), L"File '%s' not found", file);
  } else if (number != 0) {
    context().Log(severity::Info, Here(), L"No special action implemented for file %s", file);
  } else {
    context().Log(severity::Info, Here(), L"Special action not defined for file %s", file);
  }
  return {};
}

StatusRecord FileRemover::RunSpecialAction(std::wstring_view, std::int32_t) {
  // No item of this product needs code of its own.
  return {};
}

StatusRecord FileRemover::RemoveMainFolders() {
  StatusRecord result = RemoveMainFolder(context().parameters.ZorDir, false);
  if (result.Failed()) return result;
  return RemoveMainFolder(context().parameters.ZorAdminDir, true);
}

StatusRecord FileRemover::RemoveMainFolder(const std::wstring& folder, bool admin) {
  if (folder.empty()) return {};
  const MainFolderTexts& texts = admin ? kAdminMain : kProgramMain;
  std::wstring main;
  const StatusCode made = MainFolderOf(folder, main);
  if (IsFailure(made)) return MakeStatus(made);
  if (IsFailure(FolderExists(main))) {
    context().Log(severity::Info, Here(), texts.notFound, main);
    return {};
  }
  // Only a folder of the product's own name; never Program Files or
  // whatever else a program folder was put in.
  if (!NamedZor(main)) return {};
  context().Log(severity::Debug, Here(), texts.deleting, main);
  const StatusCode deleted = DeleteTree(main, context().parameters.DeleteDirForceHard, LeftInTreeReport());
  if (IsFailure(deleted)) context().Log(severity::Info, Here(), texts.failed, main, deleted);
  return {};
}

void FileRemover::Verify(std::vector<RemainingItem>& remaining) { VerifyItems(FileItemTable(), remaining); }

void FileRemover::VerifyItems(std::span<const FileItem> items, std::vector<RemainingItem>& remaining) {
  for (const FileItem& item : items) {
    try {
      VerifyItem(item, remaining);
    } catch (const std::bad_alloc&) {
      // The row is not looked at; the others may be.
    }
  }
  for (const std::wstring* folder : {&context().parameters.ZorDir, &context().parameters.ZorAdminDir}) {
    std::wstring main;
    if (folder->empty() || IsFailure(MainFolderOf(*folder, main)) || !NamedZor(main)) continue;
    if (!IsFailure(FolderExists(main))) remaining.push_back({L"folder", main, {}, false});
  }
}

void FileRemover::VerifyItem(const FileItem& item, std::vector<RemainingItem>& remaining) {
  const std::wstring* folder = FolderOf(context().parameters, item.parentDir);
  if (folder == nullptr || folder->empty()) return;
  std::wstring path = *folder;
  if (item.relativePath != nullptr && IsFailure(CombinePath(*folder, item.relativePath, path))) return;
  FsRedirectionScope redirection(item.redirect == Redirection::On);
  // What lies behind a link on the way is not the product's: the row never
  // reaches it, and the folder holding the link is the leftover.
  if (CheckWay(item, *folder).result != WayCheck::Clear) return;
  for (const std::uint8_t action : kFileActionOrder) {
    if (!(item.actions & action)) continue;
    switch (action) {
      case ActionRemoveFolder:
      case ActionEmptyAndRemoveFolder:
      case ActionRemoveTree:
        if (!IsFailure(FolderExists(path))) remaining.push_back({L"folder", path, {}, false});
        break;
      case ActionDeleteFile:
      case ActionReportSpecial:
        if (!IsFailure(FileExists(path))) remaining.push_back({L"file", path, {}, false});
        break;
      case ActionDeleteMatching: {
        if (!ListableFolder(path)) break;
        const std::wstring mask = item.mask ? item.mask : L"";
        DirectoryLister lister;
        for (StatusCode state = lister.OpenListing(path, mask.empty() ? nullptr : mask.c_str(),
                                                   ListFiles | ListReparsePoints);
             state == status::Success; state = lister.NextEntry()) {
          std::wstring file;
          if (!IsFailure(lister.EntryPath(file))) remaining.push_back({L"file", file, {}, false});
        }
        break;
      }
      default: break;
    }
  }
}

}  // namespace zor
