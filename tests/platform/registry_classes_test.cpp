// The merged classes root: the user's classes first, the machine's second.
#include <gtest/gtest.h>

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

const wchar_t kClasses[] = L"Software\\Classes\\";

std::wstring NameOf(RegistryKey& key) {
  std::wstring name;
  if (IsFailure(key.KeyName(name))) return L"(no name)";
  return name;
}

// The same class name under the user's and the machine's classes.
struct BothSides {
  std::wstring name = UniqueKeyName();
  ScopedTree user{HKEY_CURRENT_USER, kClasses + name};
  ScopedTree machine{HKEY_LOCAL_MACHINE, kClasses + name};
};

TEST(RegistryClasses, ReadsFallBackFromTheUserToTheMachine) {
  BothSides sides;
  ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kClasses + sides.name, L"Both", L"user"));
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kClasses + sides.name, L"Both", L"machine"));
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kClasses + sides.name, L"MachineOnly", L"from machine"));

  RegistryKey key(RootClassesRoot);
  ASSERT_EQ(key.Open(sides.name), status::Success);
  EXPECT_TRUE(SameName(NameOf(key), test::NativeName(HKEY_CURRENT_USER, kClasses + sides.name))) << Narrow(NameOf(key));
  const struct {
    const wchar_t* value;
    std::uint32_t status;
    std::wstring text;
  } rows[] = {
      {L"Both", 0, L"user"},
      {L"MachineOnly", 0, L"from machine"},
      {L"Nowhere", 0xE001003D, L"sentinel"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.value));
    std::wstring text = L"sentinel";
    EXPECT_EQ(Code(key.GetString(row.value, text)), row.status);
    EXPECT_EQ(text, row.text);
    EXPECT_EQ(key.ValueExists(row.value), row.status == 0);
  }
}

TEST(RegistryClasses, OpenFallsBackToTheMachineWhenTheUserHasNoKey) {
  const std::wstring name = UniqueKeyName();
  ScopedTree machine(HKEY_LOCAL_MACHINE, kClasses + name);
  ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, kClasses + name + L"\\Inner"));
  RegistryKey key(RootClassesRoot);
  ASSERT_EQ(key.Open(name), status::Success);
  EXPECT_TRUE(SameName(NameOf(key), L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\" + name)) << Narrow(NameOf(key));
  // A child of the merged key merges too.
  RegistryKey child(AsChildOf{key});
  ASSERT_EQ(child.Open(L"Inner"), status::Success);
  EXPECT_TRUE(SameName(NameOf(child), L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\" + name + L"\\Inner"));
  RegistryKey missing(RootClassesRoot);
  EXPECT_EQ(Code(missing.Open(name + L"\\Nothing")), 0xE0010013u);
}

TEST(RegistryClasses, DeletesReachBothSides) {
  BothSides sides;
  const std::wstring user = kClasses + sides.name;
  const std::wstring& machine = user;
  for (const wchar_t* sub : {L"\\InBoth", L"\\TreeInBoth\\Deep"}) {
    ASSERT_TRUE(test::MakeKey(HKEY_CURRENT_USER, user + sub));
    ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, machine + sub));
  }
  ASSERT_TRUE(test::MakeKey(HKEY_CURRENT_USER, user + L"\\UserOnly"));
  ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, machine + L"\\MachineOnly"));

  RegistryKey key(RootClassesRoot);
  ASSERT_EQ(key.Open(sides.name), status::Success);
  const struct {
    const wchar_t* name;
    bool recursive;
    std::uint32_t status;
  } rows[] = {
      {L"InBoth", false, 0},
      {L"TreeInBoth", true, 0},
      {L"UserOnly", false, 0},
      {L"MachineOnly", false, 0},
      {L"Nowhere", false, 0xE001003D},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.name));
    EXPECT_EQ(Code(key.DeleteSubKey(row.name, row.recursive)), row.status);
    EXPECT_FALSE(KeyPresent(HKEY_CURRENT_USER, user + L"\\" + row.name));
    EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, machine + L"\\" + row.name));
  }
  EXPECT_TRUE(KeyPresent(HKEY_CURRENT_USER, user));
  EXPECT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, machine));
}

TEST(RegistryClasses, DeletingFromTheRootRemovesBothRegistrations) {
  const std::wstring name = UniqueKeyName();
  ScopedTree user(HKEY_CURRENT_USER, kClasses + name);
  ScopedTree machine(HKEY_LOCAL_MACHINE, kClasses + name);
  ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kClasses + name + L"\\InprocServer32", L"", L"user.dll"));
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kClasses + name + L"\\InprocServer32", L"", L"machine.dll"));
  RegistryKey root(RootClassesRoot);
  EXPECT_EQ(Code(root.DeleteSubKey(name, false)), 0xE0010058u);
  EXPECT_EQ(root.DeleteSubKey(name, true), status::Success);
  EXPECT_FALSE(KeyPresent(HKEY_CURRENT_USER, kClasses + name));
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, kClasses + name));
  EXPECT_EQ(Code(root.DeleteSubKey(name, true)), 0xE001003Du);
}

TEST(RegistryClasses, MergedEnumerationListsEachNameOnceInByteOrder) {
  BothSides sides;
  const std::wstring path = kClasses + sides.name;
  for (const wchar_t* name : {L"b", L"A", L"c", L"\x0100"}) ASSERT_TRUE(test::MakeKey(HKEY_CURRENT_USER, path + L"\\" + name));
  for (const wchar_t* name : {L"a", L"c", L"d", L"\x00FF", L"cc"}) {
    ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, path + L"\\" + name));
  }
  RegistryKey key(RootClassesRoot);
  ASSERT_EQ(key.Open(sides.name), status::Success);
  std::vector<std::wstring> names{L"sentinel"};
  ASSERT_EQ(key.EnumSubKeys(names), status::Success);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"\x0100", L"A", L"a", L"b", L"c", L"cc", L"d", L"\x00FF"}));
}

TEST(RegistryClasses, MergedEnumerationOfAMachineKeyIncludesTheUsersSide) {
  BothSides sides;
  const std::wstring path = kClasses + sides.name;
  ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, path + L"\\FromMachine"));
  // Only the machine has the key when it is opened, so the object sits on
  // the machine's key; the user's key appears afterwards.
  RegistryKey key(RootClassesRoot);
  ASSERT_EQ(key.Open(sides.name), status::Success);
  ASSERT_TRUE(SameName(NameOf(key), L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\" + sides.name));
  ASSERT_TRUE(test::MakeKey(HKEY_CURRENT_USER, path + L"\\FromUser"));
  ASSERT_TRUE(test::MakeKey(HKEY_CURRENT_USER, path + L"\\FromMachine"));
  std::vector<std::wstring> names;
  ASSERT_EQ(key.EnumSubKeys(names), status::Success);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"FromMachine", L"FromUser"}));
}

TEST(RegistryClasses, CreateMakesTheMachinesKeyAndOpensTheMergedOne) {
  const std::wstring name = UniqueKeyName();
  ScopedTree machine(HKEY_LOCAL_MACHINE, kClasses + name);
  ScopedTree user(HKEY_CURRENT_USER, kClasses + name);
  RegistryKey key(RootClassesRoot);
  ASSERT_EQ(key.Create(name + L"\\Inner"), status::Success);
  EXPECT_EQ(key.CurrentState(), RegistryKey::StateWrite);
  EXPECT_TRUE(SameName(NameOf(key), L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\" + name + L"\\Inner"))
      << Narrow(NameOf(key));
  EXPECT_FALSE(KeyPresent(HKEY_CURRENT_USER, kClasses + name));
  ASSERT_EQ(key.SetString(L"Value", L"written"), status::Success);
  EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, kClasses + name + L"\\Inner", L"Value"), L"written");
}

TEST(RelativeKeyPath, MachineAndUserKeysAndShortNames) {
  const std::wstring name = UniqueKeyName();
  ScopedTree user(HKEY_CURRENT_USER, kClasses + name);
  ASSERT_TRUE(test::MakeKey(HKEY_CURRENT_USER, kClasses + name));
  const struct {
    std::wstring fullName;
    std::uint32_t status;
    std::wstring relative;
    bool isMachine;
  } rows[] = {
      {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes", 0, L"SOFTWARE\\Classes", true},
      {test::NativeName(HKEY_CURRENT_USER, kClasses + name), 0, kClasses + name, false},
      {L"\\REGISTRY\\MACHINE", 0xE0010002, L"sentinel", true},
      {L"\\REGISTRY\\USER", 0xE0010002, L"sentinel", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.fullName));
    HANDLE key = test::OpenNative(row.fullName);
    ASSERT_NE(key, nullptr);
    std::wstring relative = L"sentinel";
    bool isMachine = true;
    EXPECT_EQ(Code(RelativeKeyPath(key, relative, isMachine)), row.status);
    EXPECT_TRUE(SameName(relative, row.relative)) << Narrow(relative);
    EXPECT_EQ(isMachine, row.isMachine);
    CloseHandle(key);
  }
}

}  // namespace
}  // namespace zor
