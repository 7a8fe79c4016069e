#pragma once
// The last stage: the product's files and folders, row by row from the file
// item table, then the product's main folders. A file that Windows will not
// let go is handed to Windows for deletion at its next start and counted in
// RestartCounter; a folder that cannot go is left. A read-only file loses
// the attribute before its delete is tried. Nothing is listed, emptied or
// deleted through a link found among the product's folders, and a link to
// a file goes as the link itself or stays; so does whatever a link check
// could not be made for.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/stage_engine.h"
#include "engines/file_item_table.h"
#include "platform/tree_delete.h"

namespace zor {

class FileRemover final : public StageEngine {
 public:
  using StageEngine::StageEngine;

  StatusRecord RunStage() override { return RemoveFilesAndFolders(); }
  // Each row's file, folder or matching files that are still there, and the
  // main folders; nothing is listed through a link.
  void Verify(std::vector<RemainingItem>& remaining) override;

  // The product's table, then the main folders. Fails only when the main
  // folders' texts cannot be made; single items never reach the result.
  StatusRecord RemoveFilesAndFolders();
  // The same with rows of the caller's; their positions are the item
  // numbers in the messages.
  StatusRecord RemoveFilesAndFolders(std::span<const FileItem> items);

  // The item steps. Each ends in success except DeleteFileItem when the
  // file can go neither now nor at the next start: Windows refuses even the
  // deletion at restart, or the file stays read-only (0x80004005).
  StatusRecord DeleteFileItem(std::wstring_view path, bool redirect);
  StatusRecord RemoveFolderItem(std::wstring_view path, bool redirect, bool filesFirst, bool hardForce);
  StatusRecord DeleteMatchingFiles(std::wstring_view folder, std::wstring_view mask, bool redirect);
  StatusRecord ReportSpecialAction(std::wstring_view path, bool redirect, std::int32_t number);
  StatusRecord RunSpecialAction(std::wstring_view path, std::int32_t number);

  // The parents of ZorDir and then of ZorAdminDir, when they are named
  // "ZOR".
  StatusRecord RemoveMainFolders();

  // What the verification finds of the rows given, then of the main folders.
  void VerifyItems(std::span<const FileItem> items, std::vector<RemainingItem>& remaining);

 private:
  void ProcessItem(const FileItem& item, std::int32_t number);
  // False, with a warning, when a link lies between the row's folder and
  // its path, or when one of those folders cannot be checked: the row then
  // does nothing.
  bool WayHasNoLink(const FileItem& item, const std::wstring& base, std::int32_t number);
  void RunActions(const FileItem& item, const std::wstring& path);
  void VerifyItem(const FileItem& item, std::vector<RemainingItem>& remaining);
  // Deletes one file now or, when it is held, at the next start; a link
  // that cannot be removed as itself, and a file that stays read-only, are
  // kept with a warning.
  StatusRecord RemoveFile(const std::wstring& path, bool reportDeletedAsInfo);
  // Warns of each file and link that a tree delete leaves behind.
  LeftInTree LeftInTreeReport();
  StatusRecord RemoveMainFolder(const std::wstring& folder, bool admin);
};

}  // namespace zor
