// The 32-bit and 64-bit views: paths into the Wow6432Node branch, checked
// against what the documented registry calls show a 32-bit reader.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/registry_key.h"
#include "tests/platform/registry_test_support.h"

namespace zor {
namespace {

using test::KeyPresent;
using test::Narrow;
using test::SameName;
using test::ScopedTree;
using test::UniqueKeyName;

std::uint32_t Code(StatusCode code) { return static_cast<std::uint32_t>(code); }

std::wstring NameOf(RegistryKey& key) {
  std::wstring name;
  if (IsFailure(key.KeyName(name))) return L"(no name)";
  return name;
}

std::wstring CurrentUserName() {
  HKEY user = nullptr;
  if (RegOpenCurrentUser(KEY_READ, &user) != ERROR_SUCCESS) return L"(no user)";
  const std::wstring name = test::NativeName(user, L"");
  RegCloseKey(user);
  return name;
}

TEST(RegistryView, ThirtyTwoBitPathsGoWhereTheExamplesSay) {
  const std::wstring name = UniqueKeyName();
  ScopedTree machineBranch(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\" + name);
  ScopedTree system(HKEY_LOCAL_MACHINE, L"SYSTEM\\" + name);
  ScopedTree userBranch(HKEY_CURRENT_USER, L"Software\\Classes\\Wow6432Node\\" + name);
  const std::wstring user = CurrentUserName();
  // Windows always has the user's classes key; a fresh Wine prefix makes it
  // only when something first writes there.
  ASSERT_TRUE(test::MakeKey(HKEY_CURRENT_USER, L"Software\\Classes"));

  const struct {
    RegistryRoot root;
    std::wstring subpath;
    std::wstring expected;
  } rows[] = {
      {RootLocalMachine, L"Software\\" + name, L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node\\" + name},
      {RootCurrentUser, L"Software\\Classes\\" + name, user + L"\\Software\\Classes\\Wow6432Node\\" + name},
      {RootLocalMachine, L"SYSTEM\\" + name, L"\\REGISTRY\\MACHINE\\SYSTEM\\" + name},
      // Already in the branch: no second node, whatever the letter case.
      {RootLocalMachine, L"SOFTWARE\\Wow6432Node\\" + name, L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node\\" + name},
      {RootLocalMachine, L"software\\wow6432node\\" + name, L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node\\" + name},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.subpath));
    RegistryKey key(row.root);
    ASSERT_EQ(key.SetViewMode(ViewMode32), status::Success);
    ASSERT_EQ(key.CreatePath(row.subpath), status::Success);
    EXPECT_TRUE(SameName(NameOf(key), row.expected)) << Narrow(NameOf(key));
    RegistryKey reader(row.root);
    ASSERT_EQ(reader.SetViewMode(ViewMode32), status::Success);
    ASSERT_EQ(reader.Open(row.subpath), status::Success);
    EXPECT_TRUE(SameName(NameOf(reader), row.expected)) << Narrow(NameOf(reader));
  }
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, L"SOFTWARE\\" + name, KEY_WOW64_64KEY));
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\Wow6432Node\\" + name, KEY_WOW64_64KEY));
  EXPECT_FALSE(KeyPresent(HKEY_CURRENT_USER, L"Software\\Classes\\" + name, KEY_WOW64_64KEY));
}

TEST(RegistryView, TheCallersLetterCaseIsKeptInTheBranch) {
  const std::wstring name = UniqueKeyName(L"-MixedCase");
  ScopedTree tree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\" + name);
  RegistryKey key(RootLocalMachine);
  ASSERT_EQ(key.SetViewMode(ViewMode32), status::Success);
  ASSERT_EQ(key.Create(L"Software\\" + name), status::Success);
  std::vector<std::wstring> names;
  RegistryKey branch(RootLocalMachine);
  ASSERT_EQ(branch.Open(L"SOFTWARE\\Wow6432Node"), status::Success);
  ASSERT_EQ(branch.EnumSubKeys(names), status::Success);
  EXPECT_NE(std::find(names.begin(), names.end(), name), names.end());
}

TEST(RegistryView, AThirtyTwoBitReaderSeesWhatViewOneWrote) {
  const std::wstring name = UniqueKeyName();
  const std::wstring path = L"SOFTWARE\\" + name;
  ScopedTree tree(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY);
  {
    RegistryKey key(RootLocalMachine);
    ASSERT_EQ(key.SetViewMode(ViewMode32), status::Success);
    ASSERT_EQ(key.CreatePath(path + L"\\Inner"), status::Success);
    ASSERT_EQ(key.SetString(L"Written", L"through view 1"), status::Success);
  }
  EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, path + L"\\Inner", L"Written", KEY_WOW64_32KEY), L"through view 1");
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY));

  // And the other way: what a 32-bit writer made is read through view 1,
  // and not through view 2.
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, path + L"\\FromWriter", L"Value", L"32-bit", KEY_WOW64_32KEY));
  RegistryKey view32(RootLocalMachine);
  ASSERT_EQ(view32.SetViewMode(ViewMode32), status::Success);
  ASSERT_EQ(view32.Open(path + L"\\FromWriter"), status::Success);
  std::wstring text;
  ASSERT_EQ(view32.GetString(L"Value", text), status::Success);
  EXPECT_EQ(text, L"32-bit");
  RegistryKey view64(RootLocalMachine);
  ASSERT_EQ(view64.SetViewMode(ViewMode64), status::Success);
  EXPECT_EQ(Code(view64.Open(path + L"\\FromWriter")), 0xE0010013u);
  RegistryKey view0(RootLocalMachine);
  EXPECT_EQ(Code(view0.Open(path + L"\\FromWriter")), 0xE0010013u);
}

TEST(RegistryView, SixtyFourBitViewReadsTheProgramsOwnKeys) {
  const std::wstring path = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, path);
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, path, L"Value", L"64-bit", KEY_WOW64_64KEY));
  RegistryKey key(RootLocalMachine);
  ASSERT_EQ(key.SetViewMode(ViewMode64), status::Success);
  ASSERT_EQ(key.Open(path), status::Success);
  EXPECT_TRUE(SameName(NameOf(key), L"\\REGISTRY\\MACHINE\\" + path));
  std::wstring text;
  ASSERT_EQ(key.GetString(L"Value", text), status::Success);
  EXPECT_EQ(text, L"64-bit");
}

TEST(RegistryView, ChildOfABranchKeyDoesNotDoubleTheNode) {
  const std::wstring name = UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\" + name);
  RegistryKey parent(RootLocalMachine);
  ASSERT_EQ(parent.SetViewMode(ViewMode32), status::Success);
  ASSERT_EQ(parent.CreatePath(L"SOFTWARE\\" + name + L"\\Inner"), status::Success);
  ASSERT_EQ(parent.Open(L""), status::Success);
  const std::wstring branchName = L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node\\" + name + L"\\Inner";
  const struct {
    const wchar_t* subpath;
    std::wstring expected;
  } rows[] = {
      {L"Wow6432Node", branchName},
      {L"Wow6432Node\\Leaf", branchName + L"\\Leaf"},
      {L"Leaf\\Wow6432Node", branchName + L"\\Leaf"},
  };
  ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\" + name + L"\\Inner\\Leaf"));
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.subpath));
    RegistryKey child(AsChildOf{parent});
    ASSERT_EQ(child.Open(row.subpath), status::Success);
    EXPECT_TRUE(SameName(NameOf(child), row.expected)) << Narrow(NameOf(child));
  }
}

TEST(RegistryView, ValuesAndDeletesFollowTheView) {
  const std::wstring name = UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\" + name);
  RegistryKey key(RootLocalMachine);
  ASSERT_EQ(key.SetViewMode(ViewMode32), status::Success);
  ASSERT_EQ(key.CreatePath(L"SOFTWARE\\" + name + L"\\Tree\\A\\B"), status::Success);
  ASSERT_EQ(key.SetDword(L"Number", 5), status::Success);
  std::uint32_t number = 0;
  ASSERT_EQ(key.GetDword(L"Number", number), status::Success);
  EXPECT_EQ(number, 5u);
  key.Close();
  ASSERT_EQ(key.Open(L"SOFTWARE\\" + name), status::Success);
  ASSERT_EQ(key.DeleteSubKey(L"Tree", true), status::Success);
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\" + name + L"\\Tree"));
  EXPECT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\" + name));
}

TEST(RedirectTo32BitView, RewritesAgainstTheParentsRealName) {
  HKEY software = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_READ | KEY_WOW64_64KEY, &software), ERROR_SUCCESS);
  HANDLE parent = software;
  std::wstring subpath = L"Zor";
  ACCESS_MASK access = KEY_READ | KEY_WOW64_32KEY;
  ASSERT_EQ(RedirectTo32BitView(parent, subpath, access), status::Success);
  EXPECT_EQ(parent, nullptr);
  EXPECT_EQ(access, static_cast<ACCESS_MASK>(KEY_READ));
  EXPECT_TRUE(SameName(subpath, L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node\\Zor")) << Narrow(subpath);

  HKEY system = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM", 0, KEY_READ, &system), ERROR_SUCCESS);
  parent = system;
  subpath = L"CurrentControlSet";
  access = KEY_READ | KEY_WOW64_32KEY;
  ASSERT_EQ(RedirectTo32BitView(parent, subpath, access), status::Success);
  EXPECT_EQ(parent, static_cast<HANDLE>(system));
  EXPECT_EQ(subpath, L"CurrentControlSet");
  EXPECT_EQ(access, static_cast<ACCESS_MASK>(KEY_READ | KEY_WOW64_32KEY));
  RegCloseKey(system);
  RegCloseKey(software);
}

}  // namespace
}  // namespace zor
