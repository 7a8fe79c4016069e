#include "platform/tree_delete.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_operations.h"
#include "platform/link_check.h"
#include "platform/native_api.h"
#include "platform/native_file.h"
#include "tests/platform/file_test_support.h"

namespace zor {
namespace {

using test::FolderNames;
using test::MakeFolder;
using test::Narrow;
using test::PathExists;
using test::ReadTextFile;
using test::TestFolder;
using test::WriteTextFile;

constexpr std::uint32_t kDirectoryNotEmpty = 0xC0070091;
constexpr std::uint32_t kLinkNotFollowed = 0xC007112B;
constexpr std::uint32_t kAccessDenied = 0xE0010058;

std::uint32_t Code(StatusCode status) { return static_cast<std::uint32_t>(status); }

// tree\top.txt, tree\a\one.txt, tree\a\b\two.txt, tree\a\b\c\, tree\d\three.txt
void MakeTree(const std::wstring& tree) {
  MakeFolder(tree);
  WriteTextFile(tree + L"\\top.txt", "top");
  MakeFolder(tree + L"\\a");
  WriteTextFile(tree + L"\\a\\one.txt", "one");
  MakeFolder(tree + L"\\a\\b");
  WriteTextFile(tree + L"\\a\\b\\two.txt", "two");
  MakeFolder(tree + L"\\a\\b\\c");
  MakeFolder(tree + L"\\d");
  WriteTextFile(tree + L"\\d\\three.txt", "three");
}

TEST(FileTreeDelete, RemovesAWholeTree) {
  TestFolder folder;
  const std::wstring tree = folder / L"tree";
  MakeTree(tree);
  EXPECT_EQ(DeleteTree(tree, true), status::Success);
  EXPECT_FALSE(PathExists(tree));
  EXPECT_TRUE(PathExists(folder.path()));
}

TEST(FileTreeDelete, WithoutRecursionOnlyAnEmptyFolderGoes) {
  TestFolder folder;
  const std::wstring tree = folder / L"tree";
  MakeTree(tree);
  EXPECT_EQ(Code(DeleteTree(tree, false)), kDirectoryNotEmpty);
  EXPECT_EQ(ReadTextFile(tree + L"\\a\\b\\two.txt"), "two");
  EXPECT_EQ(DeleteTree(tree + L"\\a\\b\\c", false), status::Success);
  EXPECT_FALSE(PathExists(tree + L"\\a\\b\\c"));
}

TEST(FileTreeDelete, PathsThatCannotBeWalked) {
  TestFolder folder;
  WriteTextFile(folder / L"file.txt", "x");
  const struct {
    std::wstring path;
    std::uint32_t expected;
  } rows[] = {
      {folder / L"missing", 0xE001003E},
      {folder / L"missing\\deeper", 0xE001003E},
      {folder / L"file.txt", 0xC007010B},  // STATUS_NOT_A_DIRECTORY
      {L"", 0xE0010002},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.path));
    EXPECT_EQ(Code(DeleteTree(row.path, true)), row.expected);
  }
  EXPECT_EQ(ReadTextFile(folder / L"file.txt"), "x");
}

TEST(FileTreeDelete, AFileHeldOpenWithoutDeleteSharingKeepsOnlyItsFolders) {
  TestFolder folder;
  const std::wstring tree = folder / L"tree";
  MakeTree(tree);
  const std::wstring held = tree + L"\\a\\b\\two.txt";
  const HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const StatusCode deleted = DeleteTree(tree, true);
  CloseHandle(holder);
  EXPECT_EQ(Code(deleted), kDirectoryNotEmpty);
  EXPECT_EQ(FolderNames(tree), std::vector<std::wstring>{L"a"});
  EXPECT_EQ(FolderNames(tree + L"\\a"), std::vector<std::wstring>{L"b"});
  EXPECT_EQ(FolderNames(tree + L"\\a\\b"), std::vector<std::wstring>{L"two.txt"});
  EXPECT_EQ(ReadTextFile(held), "two");
}

TEST(FileTreeDelete, ATreeDeeperThanAnyPathTheWin32FunctionsTake) {
  TestFolder folder;
  std::wstring deep = L"\\\\?\\" + (folder / L"deep");
  const std::wstring top = folder / L"deep";
  ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  for (int level = 0; level < 300; ++level) {
    deep += L"\\level";
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr)) << level;
  }
  WriteTextFile(deep + L"\\bottom.txt", "bottom");
  ASSERT_GT(deep.size(), 1800u);
  EXPECT_EQ(DeleteTree(top, true), status::Success);
  EXPECT_FALSE(PathExists(top));
}

// Lists the entries whose names begin with "pretend-link" as reparse points,
// as Wine lists a Unix symbolic link; opened, they are ordinary, as Wine's
// handle on a link is.
ZwQueryDirectoryFileFunction* g_realQuery = nullptr;

NTSTATUS NTAPI PretendingQuery(HANDLE file, HANDLE event, nt::IoApcRoutine apc, PVOID context, PIO_STATUS_BLOCK io, PVOID buffer,
                               ULONG length, ULONG infoClass, BOOLEAN single, PUNICODE_STRING name, BOOLEAN restart) {
  const NTSTATUS status = g_realQuery(file, event, apc, context, io, buffer, length, infoClass, single, name, restart);
  if (!NT_SUCCESS(status)) return status;
  auto* bytes = static_cast<unsigned char*>(buffer);
  ULONG at = 0;
  for (;;) {
    ULONG next = 0;
    const wchar_t* entryName = nullptr;
    ULONG nameBytes = 0;
    ULONG* attributes = nullptr;
    if (infoClass == native_file::FileBothDirectoryInformationClass) {
      auto* record = reinterpret_cast<native_file::FileBothDirectoryInformationRecord*>(bytes + at);
      next = record->NextEntryOffset;
      entryName = record->FileName;
      nameBytes = record->FileNameLength;
      attributes = &record->FileAttributes;
    } else if (infoClass == native_file::FileDirectoryInformationClass) {
      // FILE_DIRECTORY_INFORMATION: attributes at 56, name length at 60, name at 64.
      next = *reinterpret_cast<ULONG*>(bytes + at);
      attributes = reinterpret_cast<ULONG*>(bytes + at + 56);
      nameBytes = *reinterpret_cast<ULONG*>(bytes + at + 60);
      entryName = reinterpret_cast<const wchar_t*>(bytes + at + 64);
    } else {
      return status;
    }
    if (std::wstring_view(entryName, nameBytes / sizeof(wchar_t)).substr(0, 12) == L"pretend-link") {
      *attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    }
    if (next == 0) return status;
    at += next;
  }
}

TEST(FileTreeDelete, AnEntryListedAsALinkButOpenedAsItsTargetIsLeftAlone) {
  TestFolder folder;
  const std::wstring tree = folder / L"tree";
  MakeTree(tree);
  WriteTextFile(tree + L"\\pretend-link.txt", "kept");
  MakeFolder(tree + L"\\a\\pretend-link-folder");
  WriteTextFile(tree + L"\\a\\pretend-link-folder\\inside.txt", "inside");
  StatusCode deleted;
  {
    test::SwappedEntry swap(Native().ZwQueryDirectoryFile, &PretendingQuery);
    g_realQuery = swap.original();
    deleted = DeleteTree(tree, true);
  }
  EXPECT_EQ(Code(deleted), kDirectoryNotEmpty);
  EXPECT_EQ(FolderNames(tree), (std::vector<std::wstring>{L"a", L"pretend-link.txt"}));
  EXPECT_EQ(FolderNames(tree + L"\\a"), std::vector<std::wstring>{L"pretend-link-folder"});
  EXPECT_EQ(ReadTextFile(tree + L"\\pretend-link.txt"), "kept");
  EXPECT_EQ(ReadTextFile(tree + L"\\a\\pretend-link-folder\\inside.txt"), "inside");
}

TEST(FileTreeDelete, AFolderListedAsALinkIsNotDeletedThroughItsTarget) {
  TestFolder folder;
  const std::wstring empty = folder / L"pretend-link-empty";
  MakeFolder(empty);
  StatusCode deleted;
  {
    test::SwappedEntry swap(Native().ZwQueryDirectoryFile, &PretendingQuery);
    g_realQuery = swap.original();
    deleted = DeleteFolder(empty);
  }
  EXPECT_EQ(Code(deleted), kLinkNotFollowed);
  EXPECT_TRUE(PathExists(empty));
  EXPECT_EQ(DeleteFolder(empty), status::Success);
}

void MakeReadOnly(const std::wstring& path) { ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY)) << Narrow(path); }

TEST(FileTreeDelete, ReadOnlyFilesGoWithTheirTree) {
  TestFolder folder;
  const std::wstring tree = folder / L"tree";
  MakeTree(tree);
  for (const wchar_t* file : {L"\\top.txt", L"\\a\\b\\two.txt", L"\\d\\three.txt"}) MakeReadOnly(tree + file);
  std::vector<std::wstring> left;
  EXPECT_EQ(DeleteTree(tree, true, [&](std::wstring_view path, bool, StatusCode) { left.emplace_back(path); }),
            status::Success);
  EXPECT_EQ(left, std::vector<std::wstring>{});
  EXPECT_FALSE(PathExists(tree));
}

// What a tree delete leaves is handed back one entry at a time: a file
// listed as a link but opened as its target, a folder of the same kind,
// and a file held open without delete sharing.
TEST(FileTreeDelete, WhatStaysOfATreeIsNamedWithItsReason) {
  TestFolder folder;
  const std::wstring tree = folder / L"tree";
  MakeTree(tree);
  WriteTextFile(tree + L"\\pretend-link.txt", "kept");
  MakeReadOnly(tree + L"\\pretend-link.txt");
  MakeFolder(tree + L"\\a\\pretend-link-folder");
  WriteTextFile(tree + L"\\a\\pretend-link-folder\\inside.txt", "inside");
  const std::wstring held = tree + L"\\d\\three.txt";
  const HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  std::vector<std::string> left;
  StatusCode deleted;
  {
    test::ListedAsLinks links(L"pretend-link");
    // Given with a trailing separator: the names below it have one all the same.
    deleted = DeleteTree(tree + L"\\", true, [&](std::wstring_view path, bool isFolder, StatusCode why) {
      char code[16];
      std::snprintf(code, sizeof(code), "%08x", Code(why));
      left.push_back(Narrow(path) + (isFolder ? " (folder) " : " ") + code);
    });
  }
  CloseHandle(holder);
  EXPECT_EQ(Code(deleted), kDirectoryNotEmpty);
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{Narrow(tree) + "\\a\\pretend-link-folder (folder) c007112b",
                                            Narrow(tree) + "\\d\\three.txt e0010053",
                                            Narrow(tree) + "\\pretend-link.txt c007112b"}));
  EXPECT_EQ(ReadTextFile(tree + L"\\pretend-link.txt"), "kept");
  // Its attributes are those of what it stands for: never changed.
  EXPECT_EQ(GetFileAttributesW((tree + L"\\pretend-link.txt").c_str()) & FILE_ATTRIBUTE_READONLY,
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(ReadTextFile(tree + L"\\a\\pretend-link-folder\\inside.txt"), "inside");
  EXPECT_EQ(ReadTextFile(held), "three");
  EXPECT_EQ(FolderNames(tree), (std::vector<std::wstring>{L"a", L"d", L"pretend-link.txt"}));
  SetFileAttributesW((tree + L"\\pretend-link.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(FileTreeDelete, AFileListedAsALinkButOpenedAsItsTargetIsNotDeletedByName) {
  TestFolder folder;
  const std::wstring file = folder / L"pretend-link.dll";
  WriteTextFile(file, "kept");
  MakeReadOnly(file);
  StatusCode deleted;
  {
    test::ListedAsLinks links(L"pretend-link");
    deleted = DeleteFileNow(file, ReadOnlyAttribute::Clear);
  }
  EXPECT_EQ(Code(deleted), kLinkNotFollowed);
  EXPECT_EQ(ReadTextFile(file), "kept");
  EXPECT_EQ(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(DeleteFileNow(file), status::Success);
}

// When the folder above cannot say whether something is a link, nothing is
// deleted and the failure is handed back.
TEST(FileTreeDelete, NothingIsDeletedWhereTheListingAboveCannotBeRead) {
  TestFolder folder;
  WriteTextFile(folder / L"refused.txt", "kept");
  MakeFolder(folder / L"refused-empty");
  MakeTree(folder / L"refused-tree");
  const struct {
    const char* label;
    const wchar_t* name;
    std::function<StatusCode(const std::wstring&)> remove;
  } rows[] = {
      {"DeleteFileNow", L"refused.txt", [](const std::wstring& path) { return DeleteFileNow(path); }},
      {"DeleteFolder", L"refused-empty", [](const std::wstring& path) { return DeleteFolder(path); }},
      {"DeleteTree", L"refused-tree", [](const std::wstring& path) { return DeleteTree(path, true); }},
      {"DeleteAllMatching", L"refused-tree",
       [](const std::wstring& path) {
         std::uint32_t count = 99;
         const StatusCode deleted = DeleteAllMatching(path, L"*", count);
         EXPECT_EQ(count, 99u);
         return deleted;
       }},
      {"QueryIsLink", L"refused-tree",
       [](const std::wstring& path) {
         bool link = true;
         const StatusCode checked = QueryIsLink(path, link);
         EXPECT_TRUE(link);
         return checked;
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    StatusCode result;
    {
      test::RefusedListing refused(row.name, nt::AccessDenied);
      result = row.remove(folder / row.name);
    }
    EXPECT_EQ(Code(result), kAccessDenied);
  }
  EXPECT_EQ(ReadTextFile(folder / L"refused.txt"), "kept");
  EXPECT_TRUE(PathExists(folder / L"refused-empty"));
  EXPECT_EQ(ReadTextFile(folder / L"refused-tree\\a\\b\\two.txt"), "two");
  EXPECT_EQ(FolderNames(folder / L"refused-tree"), (std::vector<std::wstring>{L"a", L"d", L"top.txt"}));
}

TEST(FileDeleteAllMatching, DeletesTheMatchingFilesOfOneFolder) {
  TestFolder folder;
  const std::wstring dir = folder / L"dir";
  MakeFolder(dir);
  for (const wchar_t* name : {L"a.tmp", L"b.TMP", L"c.tmp", L"keep.txt", L"tmp"}) WriteTextFile(dir + L"\\" + name, "x");
  MakeFolder(dir + L"\\folder.tmp");
  MakeFolder(dir + L"\\sub");
  WriteTextFile(dir + L"\\sub\\deep.tmp", "x");
  const struct {
    const wchar_t* mask;
    std::uint32_t count;
    std::vector<std::wstring> left;
  } rows[] = {
      {L"*.none", 0, {L"a.tmp", L"b.TMP", L"c.tmp", L"folder.tmp", L"keep.txt", L"sub", L"tmp"}},
      {L"a.tmp", 1, {L"b.TMP", L"c.tmp", L"folder.tmp", L"keep.txt", L"sub", L"tmp"}},
      {L"*.tmp", 2, {L"folder.tmp", L"keep.txt", L"sub", L"tmp"}},
      {L"*.*", 2, {L"folder.tmp", L"sub"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.mask));
    std::uint32_t count = 99;
    EXPECT_EQ(DeleteAllMatching(dir, row.mask, count), status::Success);
    EXPECT_EQ(count, row.count);
    EXPECT_EQ(FolderNames(dir), row.left);
  }
  EXPECT_EQ(ReadTextFile(dir + L"\\sub\\deep.tmp"), "x");
}

TEST(FileDeleteAllMatching, FoldersThatCannotBeListed) {
  TestFolder folder;
  WriteTextFile(folder / L"file.txt", "x");
  const struct {
    std::wstring folder;
    std::uint32_t expected;
  } rows[] = {
      {folder / L"missing", 0xE001003D},
      {folder / L"missing\\deeper", 0xE001003E},
      {folder / L"file.txt", 0xE001003E},
      {L"", 0xE0010002},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.folder));
    std::uint32_t count = 99;
    EXPECT_EQ(Code(DeleteAllMatching(row.folder, L"*", count)), row.expected);
    EXPECT_EQ(count, 99u);
  }
}

TEST(FileDeleteAllMatching, ReadOnlyFilesGoToo) {
  TestFolder folder;
  const std::wstring dir = folder / L"dir";
  MakeFolder(dir);
  for (const wchar_t* name : {L"a.sig", L"b.sig", L"c.sig", L"keep.txt"}) WriteTextFile(dir + L"\\" + name, "x");
  MakeReadOnly(dir + L"\\a.sig");
  MakeReadOnly(dir + L"\\c.sig");
  MakeReadOnly(dir + L"\\keep.txt");
  std::uint32_t count = 99;
  EXPECT_EQ(DeleteAllMatching(dir, L"*.sig", count), status::Success);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(FolderNames(dir), std::vector<std::wstring>{L"keep.txt"});
  EXPECT_EQ(GetFileAttributesW((dir + L"\\keep.txt").c_str()) & FILE_ATTRIBUTE_READONLY,
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  SetFileAttributesW((dir + L"\\keep.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(FileDeleteAllMatching, AFileListedAsALinkButOpenedAsItsTargetEndsTheStep) {
  TestFolder folder;
  const std::wstring dir = folder / L"dir";
  MakeFolder(dir);
  WriteTextFile(dir + L"\\pretend-link.dll", "kept");
  WriteTextFile(dir + L"\\other.txt", "other");
  std::uint32_t count = 99;
  StatusCode deleted;
  {
    test::ListedAsLinks links(L"pretend-link");
    deleted = DeleteAllMatching(dir, L"*.dll", count);
  }
  EXPECT_EQ(Code(deleted), kLinkNotFollowed);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(ReadTextFile(dir + L"\\pretend-link.dll"), "kept");
  EXPECT_EQ(ReadTextFile(dir + L"\\other.txt"), "other");
}

TEST(FileDeleteAllMatching, TheFirstFailedDeletionEndsTheStep) {
  TestFolder folder;
  const std::wstring dir = folder / L"dir";
  MakeFolder(dir);
  std::vector<std::wstring> names;
  for (int i = 0; i < 8; ++i) {
    names.push_back(L"f" + std::to_wstring(i) + L".log");
    WriteTextFile(dir + L"\\" + names.back(), "x");
  }
  const std::wstring held = dir + L"\\f4.log";
  const HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  std::uint32_t count = 99;
  const StatusCode deleted = DeleteAllMatching(dir, L"*.log", count);
  CloseHandle(holder);
  EXPECT_EQ(Code(deleted), 0xE0010053u);
  const std::vector<std::wstring> left = FolderNames(dir);
  EXPECT_EQ(count, names.size() - left.size());
  EXPECT_TRUE(PathExists(held));
}

// A junction made with FSCTL_SET_REPARSE_POINT.
constexpr DWORD kSetReparsePoint = 0x000900A4;

struct MountPointReparseBuffer {
  ULONG ReparseTag;
  USHORT ReparseDataLength;
  USHORT Reserved;
  USHORT SubstituteNameOffset;
  USHORT SubstituteNameLength;
  USHORT PrintNameOffset;
  USHORT PrintNameLength;
  WCHAR PathBuffer[512];
};

bool MakeJunction(const std::wstring& link, const std::wstring& target) {
  if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
  const HANDLE handle = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const std::wstring substitute = L"\\??\\" + target;
  MountPointReparseBuffer data{};
  data.ReparseTag = IO_REPARSE_TAG_MOUNT_POINT;
  data.SubstituteNameOffset = 0;
  data.SubstituteNameLength = static_cast<USHORT>(substitute.size() * sizeof(wchar_t));
  data.PrintNameOffset = static_cast<USHORT>(data.SubstituteNameLength + sizeof(wchar_t));
  data.PrintNameLength = static_cast<USHORT>(target.size() * sizeof(wchar_t));
  std::memcpy(data.PathBuffer, substitute.c_str(), (substitute.size() + 1) * sizeof(wchar_t));
  std::memcpy(reinterpret_cast<char*>(data.PathBuffer) + data.PrintNameOffset, target.c_str(), (target.size() + 1) * sizeof(wchar_t));
  data.ReparseDataLength = static_cast<USHORT>(8 + data.PrintNameOffset + data.PrintNameLength + sizeof(wchar_t));
  DWORD returned = 0;
  const BOOL made = DeviceIoControl(handle, kSetReparsePoint, &data, data.ReparseDataLength + 8, nullptr, 0, &returned, nullptr);
  CloseHandle(handle);
  if (!made) RemoveDirectoryW(link.c_str());
  return made != FALSE;
}

constexpr const char* kNoJunctions = "Wine 8 cannot create NTFS junctions (FSCTL_SET_REPARSE_POINT fails)";

class FileJunction : public ::testing::Test {
 protected:
  void SetUp() override {
    target_ = folder_ / L"target";
    MakeFolder(target_);
    WriteTextFile(target_ + L"\\keep.txt", "keep");
    MakeFolder(target_ + L"\\inner");
    WriteTextFile(target_ + L"\\inner\\keep2.txt", "keep2");
  }
  void ExpectTargetWhole() {
    EXPECT_EQ(ReadTextFile(target_ + L"\\keep.txt"), "keep");
    EXPECT_EQ(ReadTextFile(target_ + L"\\inner\\keep2.txt"), "keep2");
  }
  TestFolder folder_;
  std::wstring target_;
};

TEST_F(FileJunction, AJunctionInsideATreeIsRemovedAsALink) {
  const std::wstring tree = folder_ / L"tree";
  MakeTree(tree);
  if (!MakeJunction(tree + L"\\a\\junction", target_)) GTEST_SKIP() << kNoJunctions;
  EXPECT_EQ(DeleteTree(tree, true), status::Success);
  EXPECT_FALSE(PathExists(tree));
  ExpectTargetWhole();
}

TEST_F(FileJunction, AJunctionAsTheTopPathIsRemovedAsALink) {
  const std::wstring junction = folder_ / L"junction";
  if (!MakeJunction(junction, target_)) GTEST_SKIP() << kNoJunctions;
  EXPECT_EQ(DeleteTree(junction, true), status::Success);
  EXPECT_FALSE(PathExists(junction));
  ExpectTargetWhole();
}

TEST_F(FileJunction, NothingIsDeletedThroughAJunction) {
  const std::wstring junction = folder_ / L"junction";
  if (!MakeJunction(junction, target_)) GTEST_SKIP() << kNoJunctions;
  std::uint32_t count = 99;
  EXPECT_EQ(Code(DeleteAllMatching(junction, L"*", count)), kLinkNotFollowed);
  EXPECT_EQ(count, 99u);
  ExpectTargetWhole();
  EXPECT_EQ(DeleteFolder(junction), status::Success);
  EXPECT_FALSE(PathExists(junction));
  ExpectTargetWhole();
}

}  // namespace
}  // namespace zor
