#include "platform/path_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/narrow_text.h"

namespace zor {
namespace {

using test::Narrow;

TEST(FilePathText, CombinePath) {
  const struct {
    const wchar_t* base;
    const wchar_t* relative;
    const wchar_t* expected;
  } rows[] = {
      {L"C:\\dir", L"", L"C:\\dir"},
      {L"C:\\dir\\", L"a", L"C:\\dir\\a"},
      {L"C:\\dir", L"D:\\x", L"D:\\x"},
      {L"C:\\dir", L"a", L"C:\\dir\\a"},
      {L"C:\\dir/", L"a\\b", L"C:\\dir/a\\b"},
      {L"", L"a", L"a"},
      {L"", L"", L""},
      {L"C:\\dir", L"\\root", L"\\root"},
      {L"C:\\dir", L"/root", L"/root"},
      {L"C:\\dir", L"\\\\server\\share", L"\\\\server\\share"},
      {L"C:\\dir", L"d:rel", L"d:rel"},
      {L"\\\\server\\share", L"f.txt", L"\\\\server\\share\\f.txt"},
      {L"dir", L"1:x", L"dir\\1:x"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.base) + " + " + Narrow(row.relative));
    std::wstring combined = L"sentinel";
    ASSERT_EQ(CombinePath(row.base, row.relative, combined), status::Success);
    EXPECT_EQ(combined, row.expected);
  }
}

TEST(FilePathText, ParentFolder) {
  const struct {
    const wchar_t* path;
    const wchar_t* expected;
  } rows[] = {
      {L"C:\\dir", L"C:\\"},
      {L"dir", L""},
      {L"C:\\a\\b", L"C:\\a"},
      {L"C:\\a\\\\\\b", L"C:\\a"},
      {L"C:/a/b", L"C:/a"},
      {L"C:\\a\\", L"C:\\a"},
      {L"\\dir", L"\\"},
      {L"/dir", L"\\"},
      {L"C:\\", L"C:\\"},
      {L"C:dir", L""},
      {L"\\\\server\\share\\f", L"\\\\server\\share"},
      {L"\\\\server", L"\\"},
      {L"a\\b", L"a"},
      {L"", L""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.path));
    std::wstring parent = L"sentinel";
    ASSERT_EQ(ParentFolder(row.path, parent), status::Success);
    EXPECT_EQ(parent, row.expected);
  }
}

TEST(FilePathText, LastComponent) {
  const struct {
    const wchar_t* path;
    const wchar_t* expected;
  } rows[] = {
      {L"C:\\a\\b", L"b"}, {L"C:\\a/b.txt", L"b.txt"}, {L"C:b", L"b"},  {L"b", L"b"},
      {L"C:\\a\\", L""},   {L"C:", L""},               {L"", L""},      {L"\\\\server\\share", L"share"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.path));
    std::wstring component = L"sentinel";
    ASSERT_EQ(LastComponent(row.path, component), status::Success);
    EXPECT_EQ(component, row.expected);
  }
}

TEST(FilePathText, ClassifyPath) {
  const struct {
    const wchar_t* path;
    PathForm expected;
  } rows[] = {
      {L"\\??\\C:\\x", PathForm::Nt},
      {L"\\??\\C", PathForm::Nt},
      {L"\\??\\", PathForm::RootRelative},  // four characters: not yet an NT path
      {L"\\Device\\HarddiskVolume2\\x", PathForm::Nt},
      {L"\\Device\\", PathForm::RootRelative},  // eight characters
      {L"\\device\\HarddiskVolume2", PathForm::RootRelative},  // compared with its case
      {L"\\dir", PathForm::RootRelative},
      {L"/dir", PathForm::RootRelative},
      {L"\\\\server\\share", PathForm::DoubleSeparator},
      {L"//server/share", PathForm::DoubleSeparator},
      {L"\\\\?\\C:\\x", PathForm::DoubleSeparator},
      {L"\\\\.\\pipe\\x", PathForm::DoubleSeparator},
      {L"C:\\dir", PathForm::Drive},
      {L"c:dir", PathForm::Drive},
      {L"dir\\file", PathForm::Relative},
      {L"1:\\dir", PathForm::Relative},
      {L"", PathForm::Relative},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.path));
    EXPECT_EQ(ClassifyPath(row.path), row.expected);
  }
}

TEST(FilePathText, LongPathForm) {
  const struct {
    const wchar_t* path;
    const wchar_t* expected;
  } rows[] = {
      {L"C:\\x\\y", L"\\\\?\\C:\\x\\y"},
      {L"\\\\server\\share\\f", L"\\\\?\\UNC\\server\\share\\f"},
      {L"\\??\\C:\\x", L"\\\\?\\C:\\x"},
      {L"\\Device\\HarddiskVolume2\\x", L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume2\\x"},
      {L"\\\\?\\C:\\x", L"\\\\?\\C:\\x"},
      {L"\\\\.\\C:\\x", L"\\\\.\\C:\\x"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.path));
    EXPECT_EQ(LongPathForm(row.path), row.expected);
  }
}

TEST(FilePathText, ListingFilter) {
  constexpr std::uint32_t folder = kAttributeDirectory;
  constexpr std::uint32_t file = 0x20;
  constexpr std::uint32_t linkFolder = kAttributeDirectory | kAttributeReparsePoint;
  constexpr std::uint32_t linkFile = 0x20 | kAttributeReparsePoint;
  const struct {
    std::uint32_t attributes;
    const wchar_t* name;
    std::uint32_t filter;
    bool expected;
  } rows[] = {
      {folder, L"..", ListParentEntry, true},  {folder, L"..", ListFolders, false},    {folder, L".", ListSelfEntry, true},
      {folder, L".", ListFolders, false},      {folder, L".", ListParentEntry, false}, {folder, L"sub", ListFolders, true},
      {folder, L"sub", ListFiles, false},      {folder, L"...", ListFolders, true},    {file, L"f.txt", ListFiles, true},
      {file, L"f.txt", ListFolders, false},    {file, L".", ListSelfEntry, false},     {file, L".", ListFiles, true},
      {linkFolder, L"j", ListFolders, false},  {linkFolder, L"j", ListFolders | ListReparsePoints, true},
      {linkFolder, L"j", ListReparsePoints, false},  // passes the reparse test, fails the folder test
      {linkFile, L"l", ListFiles, false},      {linkFile, L"l", ListFiles | ListReparsePoints, true},
      {linkFile, L"l", ListEverything, true},  {folder, L"..", ListEverything, true},  {file, L"x", 0, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << Narrow(row.name) << " attributes " << std::hex << row.attributes << " filter "
                                      << row.filter);
    EXPECT_EQ(EntryAdmitted(row.attributes, row.name, row.filter), row.expected);
  }
}

TEST(FilePathText, ListingMask) {
  EXPECT_EQ(ListingMask(nullptr), L"*");
  EXPECT_EQ(ListingMask(L""), L"*");
  EXPECT_EQ(ListingMask(L"*.*"), L"*");
  EXPECT_EQ(ListingMask(L"*.*.*"), L"*.*.*");
  EXPECT_EQ(ListingMask(L"zor*.*"), L"zor*.*");
  EXPECT_EQ(ListingMask(L"*.txt"), L"*.txt");
}

TEST(FilePathText, SplitForShortPath) {
  const struct {
    const wchar_t* path;
    const wchar_t* head;
    std::vector<std::wstring> components;
  } rows[] = {
      {L"C:\\Program Files\\Common Files", L"C:\\", {L"Program Files", L"Common Files"}},
      {L"C:/a//b/", L"C:\\", {L"a", L"b"}},
      {L"//./C:\\a", L"//./C:\\", {L"a"}},
      {L"//?/C:\\a", L"//?/C:\\", {L"a"}},
      {L"C:a\\b", L"C:", {L"a", L"b"}},
      {L"\\a\\b", L"\\", {L"a", L"b"}},
      {L"a\\b", L"", {L"a", L"b"}},
      {L"C:\\", L"C:\\", {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.path));
    const ShortPathPieces pieces = SplitForShortPath(row.path);
    EXPECT_EQ(pieces.head, row.head);
    EXPECT_EQ(pieces.components, row.components);
  }
}

}  // namespace
}  // namespace zor
