// Unix symbolic links to folders under Wine. file-links.sh makes, for each
// test, this tree under the folder named by ZOR_LINK_ROOT:
//   victim\keep1.txt, victim\inner\keep2.txt, the folder empty-victim,
//   tree\a.txt, tree\sub\b.txt, tree\sub\deeper\c.txt,
//   tree\sub\link-to-victim -> victim, tree\link-to-empty -> empty-victim
//   top-link -> victim, top-link-empty -> empty-victim
//   swap\tree\first.txt, swap\tree\sub\s.txt, swap\spare-link -> victim
// and swaps swap\tree\sub for swap\spare-link when a test asks.
//
// Wine lists such a link in its parent folder as FILE_ATTRIBUTE_DIRECTORY |
// FILE_ATTRIBUTE_REPARSE_POINT, but a handle on it, even one opened with
// FILE_OPEN_REPARSE_POINT, shows its target, and every delete through that
// handle goes to the target (an empty target folder is removed, the link
// stays). So under Wine no link can be removed as itself: the helpers leave
// it, and its target, alone. That a link is removed as itself where the
// system can open it so shows with the junction tests, on Windows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/directory_lister.h"
#include "platform/file_operations.h"
#include "platform/native_api.h"
#include "platform/tree_delete.h"
#include "tests/platform/file_test_support.h"

namespace zor {
namespace {

using test::FolderNames;
using test::PathExists;
using test::ReadTextFile;

constexpr std::uint32_t kDirectoryNotEmpty = 0xC0070091;
constexpr std::uint32_t kLinkNotFollowed = 0xC007112B;

std::uint32_t Code(StatusCode status) { return static_cast<std::uint32_t>(status); }

class FileLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"ZOR_LINK_ROOT", buffer, MAX_PATH);
    ASSERT_GT(length, 0u) << "run through file-links.sh, which makes the links";
    root_.assign(buffer, length);
    ASSERT_TRUE(PathExists(Path(L"tree\\link-to-empty")));
  }
  std::wstring Path(std::wstring_view relative) const { return root_ + L"\\" + std::wstring(relative); }
  void ExpectTargetsWhole() const {
    EXPECT_EQ(ReadTextFile(Path(L"victim\\keep1.txt")), "keep1\n");
    EXPECT_EQ(ReadTextFile(Path(L"victim\\inner\\keep2.txt")), "keep2\n");
    EXPECT_EQ(FolderNames(Path(L"victim")), (std::vector<std::wstring>{L"inner", L"keep1.txt"}));
    const DWORD empty = GetFileAttributesW(Path(L"empty-victim").c_str());
    EXPECT_NE(empty, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(empty & FILE_ATTRIBUTE_DIRECTORY);
  }
  std::wstring root_;
};

TEST_F(FileLinks, TheParentListsALinkAsAReparsePointFolder) {
  DirectoryLister lister;
  StatusCode step = lister.OpenListing(Path(L"tree"), L"link-to-empty", ListEverything);
  ASSERT_EQ(step, status::Success);
  FolderEntry entry;
  ASSERT_EQ(lister.CurrentEntry(entry), status::Success);
  EXPECT_EQ(entry.attributes, 0x410u);

  // Without ListReparsePoints the link is not listed at all.
  std::vector<std::wstring> names;
  step = lister.OpenListing(Path(L"tree"), nullptr, ListFolders | ListFiles);
  while (step == status::Success) {
    ASSERT_EQ(lister.CurrentEntry(entry), status::Success);
    names.push_back(entry.name);
    step = lister.NextEntry();
  }
  EXPECT_EQ(Code(step), 0x6001000Eu);
  EXPECT_EQ(test::Sorted(names), (std::vector<std::wstring>{L"a.txt", L"sub"}));

  // The link's own handle shows its target: an ordinary folder.
  std::uint32_t attributes = 0;
  ASSERT_EQ(QueryAttributes(Path(L"tree\\link-to-empty"), attributes), status::Success);
  EXPECT_EQ(attributes, static_cast<std::uint32_t>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(FolderExists(Path(L"top-link")), status::Success);
}

TEST_F(FileLinks, TreeDeleteLeavesEveryLinkTargetWhole) {
  EXPECT_EQ(Code(DeleteTree(Path(L"tree"), true)), kDirectoryNotEmpty);
  ExpectTargetsWhole();
  // Everything but the links went.
  EXPECT_EQ(FolderNames(Path(L"tree")), (std::vector<std::wstring>{L"link-to-empty", L"sub"}));
  EXPECT_EQ(FolderNames(Path(L"tree\\sub")), std::vector<std::wstring>{L"link-to-victim"});
}

TEST_F(FileLinks, ATopPathThatIsALinkIsNeverWalked) {
  const struct {
    const wchar_t* path;
    bool recursive;
  } rows[] = {
      {L"top-link", true},
      {L"top-link-empty", true},
      {L"top-link-empty", false},
      {L"tree\\link-to-empty", true},
      // Named in other letters than it is listed in.
      {L"TOP-LINK", true},
      {L"Top-Link-Empty", false},
      {L"tree\\LINK-TO-EMPTY", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(test::Narrow(row.path));
    EXPECT_EQ(Code(DeleteTree(Path(row.path), row.recursive)), kLinkNotFollowed);
    EXPECT_TRUE(PathExists(Path(row.path)));
    ExpectTargetsWhole();
  }
  EXPECT_EQ(Code(DeleteFolder(Path(L"top-link-empty"))), kLinkNotFollowed);
  EXPECT_EQ(Code(DeleteFolder(Path(L"TOP-LINK-EMPTY"))), kLinkNotFollowed);
  ExpectTargetsWhole();
}

TEST_F(FileLinks, DeleteAllMatchingDeletesNothingThroughALinkedFolder) {
  for (const wchar_t* mask : {L"*", L"keep1.txt"}) {
    SCOPED_TRACE(test::Narrow(mask));
    std::uint32_t count = 99;
    EXPECT_EQ(Code(DeleteAllMatching(Path(L"top-link"), mask, count)), kLinkNotFollowed);
    EXPECT_EQ(count, 99u);
    ExpectTargetsWhole();
  }
  std::uint32_t count = 99;
  EXPECT_EQ(DeleteAllMatching(Path(L"tree"), L"*", count), status::Success);
  EXPECT_EQ(count, 1u);
  EXPECT_FALSE(PathExists(Path(L"tree\\a.txt")));
  ExpectTargetsWhole();
}

// Asks file-links.sh to swap swap\tree\sub for a link just before the walk
// opens it, after the listing has shown an ordinary folder.
ZwOpenFileFunction* g_realOpen = nullptr;
std::wstring g_swapRoot;
bool g_swapped = false;

NTSTATUS NTAPI SwappingOpen(PHANDLE file, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK io, ULONG share,
                            ULONG options) {
  const UNICODE_STRING* name = attributes->ObjectName;
  if (!g_swapped && attributes->RootDirectory && name &&
      std::wstring_view(name->Buffer, name->Length / sizeof(wchar_t)) == L"sub") {
    g_swapped = true;
    const HANDLE request =
        CreateFileW((g_swapRoot + L"\\swap-request").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (request != INVALID_HANDLE_VALUE) CloseHandle(request);
    for (int waited = 0; waited < 500 && !PathExists(g_swapRoot + L"\\swap-done"); ++waited) Sleep(20);
  }
  return g_realOpen(file, access, attributes, io, share, options);
}

TEST_F(FileLinks, AFolderSwappedForALinkDuringTheWalkIsNotListed) {
  g_swapRoot = root_;
  g_swapped = false;
  StatusCode deleted;
  {
    test::SwappedEntry swap(Native().ZwOpenFile, &SwappingOpen);
    g_realOpen = swap.original();
    deleted = DeleteTree(Path(L"swap\\tree"), true);
  }
  ASSERT_TRUE(g_swapped);
  ASSERT_TRUE(PathExists(Path(L"swap-done"))) << "the swap did not happen";
  EXPECT_EQ(Code(deleted), kDirectoryNotEmpty);
  ExpectTargetsWhole();
  EXPECT_EQ(FolderNames(Path(L"swap\\tree")), std::vector<std::wstring>{L"sub"});
  // The folder that was swapped out was never reached.
  EXPECT_EQ(ReadTextFile(Path(L"swap\\sub-away\\s.txt")), "s\n");
}

}  // namespace
}  // namespace zor
