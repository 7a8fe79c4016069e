#include "platform/registry_key.h"

#include <gtest/gtest.h>

#include "platform/native_api.h"
#include "platform/os_identity_reader.h"
#include "tests/platform/registry_test_support.h"

namespace zor {
namespace {

using test::SwappedEntry;
using test::KeyPresent;
using test::NativeName;
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

TEST(RegistryKey, ConstructionSetsRootFlagsAndState) {
  const struct {
    RegistryRoot root;
    std::uint32_t flags;
  } rows[] = {{RootNone, 0},          {RootClassesRoot, 2}, {RootCurrentUser, 0},
              {RootLocalMachine, 0},  {RootUsers, 0},       {RootPerformanceData, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.root);
    RegistryKey key(row.root);
    EXPECT_EQ(key.Root(), row.root);
    EXPECT_EQ(key.Flags(), row.flags);
    EXPECT_EQ(key.CurrentState(), RegistryKey::StateClosed);
    EXPECT_EQ(key.CurrentViewMode(), ViewModeDefault);
  }
  RegistryKey key(RootClassesRoot);
  ASSERT_EQ(key.SetRoot(RootLocalMachine), status::Success);
  EXPECT_EQ(key.Flags(), 0u);
  ASSERT_EQ(key.SetRoot(RootClassesRoot), status::Success);
  EXPECT_EQ(key.Flags(), 2u);
}

TEST(RegistryKey, PredefinedRootsOpenTheirRegistryKeys) {
  HKEY user = nullptr;
  ASSERT_EQ(RegOpenCurrentUser(KEY_READ, &user), ERROR_SUCCESS);
  const std::wstring userName = NativeName(user, L"");
  RegCloseKey(user);

  const struct {
    RegistryRoot root;
    std::wstring name;
  } rows[] = {
      {RootLocalMachine, L"\\REGISTRY\\MACHINE"},
      {RootUsers, L"\\REGISTRY\\USER"},
      {RootClassesRoot, L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes"},
      {RootCurrentUser, userName},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.name));
    RegistryKey key(row.root);
    const std::wstring name = NameOf(key);
    EXPECT_TRUE(SameName(name, row.name)) << Narrow(name);
  }
  EXPECT_TRUE(SameName(userName.substr(0, 17), L"\\REGISTRY\\USER\\S-")) << Narrow(userName);
}

TEST(RegistryKey, RootsThatStandForNoKeyFail) {
  for (RegistryRoot root : {RootNone, RootPerformanceData, RootPerformanceNlsText, RootDynData}) {
    SCOPED_TRACE(root);
    RegistryKey key(root);
    EXPECT_EQ(Code(key.Open(L"SOFTWARE")), 0xE001003Fu);
    EXPECT_EQ(key.CurrentState(), RegistryKey::StateClosed);
    std::vector<std::wstring> names{L"sentinel"};
    EXPECT_EQ(Code(key.EnumSubKeys(names)), 0xE001003Fu);
  }
}

TEST(RegistryKey, OpenCreateAndCloseMoveThroughTheStates) {
  const std::wstring path = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, path);
  const std::wstring expectedName = L"\\REGISTRY\\MACHINE\\" + path;

  RegistryKey key(RootLocalMachine);
  EXPECT_EQ(Code(key.Open(path)), 0xE0010013u);
  EXPECT_EQ(key.CurrentState(), RegistryKey::StateClosed);

  ASSERT_EQ(key.Create(path), status::Success);
  EXPECT_EQ(key.CurrentState(), RegistryKey::StateWrite);
  ASSERT_EQ(key.SetString(L"Text", L"one"), status::Success);
  EXPECT_EQ(key.CurrentState(), RegistryKey::StateWrite);
  std::wstring text;
  ASSERT_EQ(key.GetString(L"Text", text), status::Success);
  EXPECT_EQ(text, L"one");
  EXPECT_EQ(key.CurrentState(), RegistryKey::StateBoth);

  key.Close();
  EXPECT_EQ(key.CurrentState(), RegistryKey::StateClosed);
  EXPECT_TRUE(SameName(NameOf(key), L"\\REGISTRY\\MACHINE"));

  ASSERT_EQ(key.Open(path), status::Success);
  EXPECT_EQ(key.CurrentState(), RegistryKey::StateRead);
  ASSERT_EQ(key.SetDword(L"Number", 7), status::Success);
  EXPECT_EQ(key.CurrentState(), RegistryKey::StateBoth);

  // An empty subpath reopens the same key for reading only.
  ASSERT_EQ(key.Open(L""), status::Success);
  EXPECT_EQ(key.CurrentState(), RegistryKey::StateRead);
  EXPECT_TRUE(SameName(NameOf(key), expectedName)) << Narrow(NameOf(key));

  // A failed open leaves the object where it was.
  EXPECT_EQ(Code(key.Open(L"Missing")), 0xE0010013u);
  EXPECT_EQ(key.CurrentState(), RegistryKey::StateRead);
  EXPECT_TRUE(SameName(NameOf(key), expectedName));

  // Create and Open work relative to the current key.
  ASSERT_EQ(key.Create(L"Sub"), status::Success);
  EXPECT_EQ(key.CurrentState(), RegistryKey::StateWrite);
  EXPECT_TRUE(SameName(NameOf(key), expectedName + L"\\Sub")) << Narrow(NameOf(key));
  EXPECT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, path + L"\\Sub"));
}

TEST(RegistryKey, MissingKeysReadAsNotFound) {
  const std::wstring path = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, path);
  ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, path));
  for (const std::wstring& subpath : {path + L"\\Missing", path + L"\\Missing\\Deeper", std::wstring(L"NoSuchHive\\X")}) {
    SCOPED_TRACE(Narrow(subpath));
    RegistryKey key(RootLocalMachine);
    EXPECT_EQ(Code(key.Open(subpath)), 0xE0010013u);
  }
  // Create does not make the keys above the last one.
  RegistryKey key(RootLocalMachine);
  EXPECT_EQ(Code(key.Create(path + L"\\Missing\\Deeper")), 0xE001003Du);
  EXPECT_EQ(key.CurrentState(), RegistryKey::StateClosed);
}

TEST(RegistryKey, ChildHangsFromItsParentsCurrentKey) {
  const std::wstring path = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, path);
  ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, path + L"\\Sub\\Deeper"));

  RegistryKey parent(RootLocalMachine);
  {
    // A closed parent: the child starts from the parent's root.
    RegistryKey child(AsChildOf{parent});
    EXPECT_EQ(child.Root(), RootNone);
    ASSERT_EQ(child.Open(path), status::Success);
    EXPECT_TRUE(SameName(NameOf(child), L"\\REGISTRY\\MACHINE\\" + path));
  }
  ASSERT_EQ(parent.Open(path), status::Success);
  RegistryKey child(AsChildOf{parent});
  RegistryKey grandchild(AsChildOf{child});
  // Both closed: the grandchild walks up to the open parent.
  ASSERT_EQ(grandchild.Open(L"Sub"), status::Success);
  EXPECT_TRUE(SameName(NameOf(grandchild), L"\\REGISTRY\\MACHINE\\" + path + L"\\Sub"));
  ASSERT_EQ(child.Open(L"Sub"), status::Success);
  RegistryKey other(AsChildOf{child});
  ASSERT_EQ(other.Open(L"Deeper"), status::Success);
  EXPECT_TRUE(SameName(NameOf(other), L"\\REGISTRY\\MACHINE\\" + path + L"\\Sub\\Deeper"));

  EXPECT_TRUE(RegistryKey::KeyExists(parent, L"Sub"));
  EXPECT_TRUE(RegistryKey::KeyExists(parent, L"Sub\\Deeper"));
  EXPECT_FALSE(RegistryKey::KeyExists(parent, L"Nope"));
  EXPECT_TRUE(RegistryKey::MachineSoftwareKeyExists());
}

TEST(RegistryKey, ChildTakesViewModeAndFlags) {
  RegistryKey classes(RootClassesRoot);
  ASSERT_EQ(classes.SetViewMode(ViewMode64), status::Success);
  RegistryKey child(AsChildOf{classes});
  EXPECT_EQ(child.CurrentViewMode(), ViewMode64);
  EXPECT_EQ(child.Flags(), RegistryKey::FlagMergeClasses);
  EXPECT_EQ(child.Root(), RootNone);
}

TEST(RegistryKey, SetViewModeRefusals) {
  const std::wstring path = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, path);
  ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, path));

  {
    RegistryKey key(RootLocalMachine);
    ASSERT_EQ(key.SetViewMode(ViewMode32), status::Success);
    ASSERT_EQ(key.SetViewMode(ViewMode64), status::Success);
    ASSERT_EQ(key.SetViewMode(ViewMode32), status::Success);
    ASSERT_EQ(key.Open(L"SOFTWARE"), status::Success);
    EXPECT_EQ(Code(key.SetViewMode(ViewMode64)), 0xE0010054u);
    EXPECT_EQ(Code(key.SetViewMode(ViewModeDefault)), 0xE0010054u);
    EXPECT_EQ(key.CurrentViewMode(), ViewMode32);
    // Higher bits are no view: the same view with them is accepted and kept.
    EXPECT_EQ(key.SetViewMode(ViewMode32 | 0x10), status::Success);
    EXPECT_EQ(key.CurrentViewMode(), 0x11u);
  }
  {
    RegistryKey parent(RootLocalMachine);
    ASSERT_EQ(parent.SetViewMode(ViewMode32), status::Success);
    RegistryKey child(AsChildOf{parent});
    EXPECT_EQ(Code(child.SetViewMode(ViewMode64)), 0xE0010054u);
    EXPECT_EQ(child.CurrentViewMode(), ViewMode32);
    EXPECT_EQ(child.SetViewMode(ViewMode32), status::Success);
  }
  const struct {
    RegistryRoot root;
    std::uint32_t status;
  } nativeRows[] = {{RootNone, 0},          {RootLocalMachine, 0},       {RootUsers, 0},
                    {RootCurrentUser, 0xE0010039}, {RootClassesRoot, 0xE0010039}, {RootCurrentConfig, 0xE0010039}};
  for (const auto& row : nativeRows) {
    SCOPED_TRACE(row.root);
    RegistryKey key(row.root);
    EXPECT_EQ(Code(key.SetViewMode(ViewModeNative)), row.status);
    EXPECT_EQ(key.CurrentViewMode(), row.status == 0 ? ViewModeNative : ViewModeDefault);
  }
  {
    RegistryKey key(RootLocalMachine);
    ASSERT_EQ(key.SetViewMode(ViewModeNative), status::Success);
    EXPECT_EQ(Code(key.SetRoot(RootCurrentUser)), 0xE0010039u);
    EXPECT_EQ(key.Root(), RootLocalMachine);
    EXPECT_EQ(key.SetRoot(RootUsers), status::Success);
    EXPECT_EQ(key.Root(), RootUsers);
  }
  for (ViewMode mode : {3u, 5u, 6u, 7u, 8u, 0xFu}) {
    SCOPED_TRACE(mode);
    RegistryKey key(RootLocalMachine);
    EXPECT_EQ(Code(key.SetViewMode(mode)), 0xE0010002u);
    EXPECT_EQ(key.CurrentViewMode(), ViewModeDefault);
  }
}

NTSTATUS NTAPI X86SystemInformation(ULONG, PVOID information, ULONG length, PULONG) {
  if (length < sizeof(nt::SystemProcessorInformationRecord)) return static_cast<NTSTATUS>(0xC0000004);
  auto* processor = static_cast<nt::SystemProcessorInformationRecord*>(information);
  *processor = {};
  processor->ProcessorArchitecture = 0;  // x86
  return 0;
}

TEST(RegistryKey, On32BitWindowsTheViewsAreRefused) {
  {
    SwappedEntry swap(Native().RtlGetNativeSystemInformation, &X86SystemInformation);
    ASSERT_EQ(ReadOsIdentity(), status::Success);
    ASSERT_FALSE(IsSystem64Bit());
    for (ViewMode mode : {ViewMode32, ViewMode64, ViewMode32 | 0x100}) {
      SCOPED_TRACE(mode);
      RegistryKey key(RootLocalMachine);
      EXPECT_EQ(Code(key.SetViewMode(mode)), 0xE001003Au);
      EXPECT_EQ(key.CurrentViewMode(), ViewModeDefault);
    }
    RegistryKey key(RootLocalMachine);
    EXPECT_EQ(key.SetViewMode(ViewModeNative), status::Success);
  }
  ASSERT_EQ(ReadOsIdentity(), status::Success);
  EXPECT_TRUE(IsSystem64Bit());
  RegistryKey key(RootLocalMachine);
  EXPECT_EQ(key.SetViewMode(ViewMode32), status::Success);
}

TEST(RegistryKey, CreatePathMakesEveryMissingKeyAndOpensTheLast) {
  const std::wstring path = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, path);
  RegistryKey key(RootLocalMachine);
  ASSERT_EQ(key.CreatePath(path + L"\\A\\B\\C"), status::Success);
  EXPECT_EQ(key.CurrentState(), RegistryKey::StateRead);
  EXPECT_TRUE(SameName(NameOf(key), L"\\REGISTRY\\MACHINE\\" + path + L"\\A\\B\\C"));
  // Again, over keys that all exist now, and one more.
  ASSERT_EQ(key.CreatePath(L"D"), status::Success);
  EXPECT_TRUE(SameName(NameOf(key), L"\\REGISTRY\\MACHINE\\" + path + L"\\A\\B\\C\\D"));
  EXPECT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, path + L"\\A\\B\\C\\D"));
}

TEST(RegistryKey, CreatePathCollapsesDoubledBranchNodes) {
  const std::wstring name = UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\" + name);
  RegistryKey key(RootLocalMachine);
  ASSERT_EQ(key.CreatePath(L"SOFTWARE\\Wow6432Node\\Wow6432Node\\" + name), status::Success);
  EXPECT_TRUE(SameName(NameOf(key), L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node\\" + name)) << Narrow(NameOf(key));
  EXPECT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\" + name, KEY_WOW64_64KEY));
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\Wow6432Node\\" + name, KEY_WOW64_64KEY));
}

// Longer than the 255 characters a key name may have.
const std::wstring kTooLongName(300, L'n');

TEST(RegistryKey, CreatePathRollsBackWhatItCreated) {
  const std::wstring path = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, path);
  {
    RegistryKey key(RootLocalMachine);
    EXPECT_EQ(Code(key.CreatePath(path + L"\\A\\B\\" + kTooLongName)), 0xE0010002u);
    EXPECT_EQ(key.CurrentState(), RegistryKey::StateClosed);
    EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, path));
  }
  {
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, path + L"\\Keep", L"Value", L"kept"));
    RegistryKey key(RootLocalMachine);
    EXPECT_EQ(Code(key.CreatePath(path + L"\\Keep\\New\\Deeper\\" + kTooLongName)), 0xE0010002u);
    EXPECT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, path + L"\\Keep"));
    EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, path + L"\\Keep", L"Value"), L"kept");
    EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, path + L"\\Keep\\New"));
  }
  {
    // The first component fails: nothing was made, nothing is taken back.
    RegistryKey key(RootLocalMachine);
    EXPECT_EQ(Code(key.CreatePath(path + L"\\Keep\\" + kTooLongName)), 0xE0010002u);
    EXPECT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, path + L"\\Keep"));
  }
}

ZwOpenKeyFunction* g_realOpenKey = nullptr;
NTSTATUS NTAPI OpenKeyMissingRacy(PHANDLE key, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes) {
  if (test::ObjectName(attributes) == L"Racy") return nt::ObjectNameNotFound;
  return g_realOpenKey(key, access, attributes);
}

TEST(RegistryKey, CreatePathLeavesAKeyAloneThatAppearedMeanwhile) {
  const std::wstring path = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, path);
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, path + L"\\Racy\\Inner", L"Value", L"theirs"));
  // The open of "Racy" fails as if the key did not exist yet; the create
  // then finds it made by someone else.
  g_realOpenKey = Native().ZwOpenKey;
  SwappedEntry swap(Native().ZwOpenKey, &OpenKeyMissingRacy);
  RegistryKey key(RootLocalMachine);
  EXPECT_EQ(Code(key.CreatePath(path + L"\\Racy\\New\\" + kTooLongName)), 0xE0010002u);
  EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, path + L"\\Racy\\Inner", L"Value"), L"theirs");
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, path + L"\\Racy\\New"));
}

TEST(RegistryKey, OpenOrCreateOpensCreatesOrCreatesThePath) {
  const std::wstring path = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, path);
  ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, path + L"\\Existing"));
  RegistryKey base(RootLocalMachine);
  ASSERT_EQ(base.Open(path), status::Success);
  const struct {
    const wchar_t* subpath;
    std::uint32_t state;
  } rows[] = {
      {L"Existing", RegistryKey::StateRead},
      {L"Single", RegistryKey::StateWrite},
      {L"Path\\Of\\Three", RegistryKey::StateRead},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.subpath));
    RegistryKey key(AsChildOf{base});
    ASSERT_EQ(key.OpenOrCreate(row.subpath), status::Success);
    EXPECT_EQ(key.CurrentState(), row.state);
    EXPECT_TRUE(SameName(NameOf(key), L"\\REGISTRY\\MACHINE\\" + path + L"\\" + row.subpath));
  }
}

ZwCreateKeyFunction* g_realCreateKey = nullptr;
std::vector<ACCESS_MASK> g_machineRootOpens;
NTSTATUS NTAPI CreateKeyDenyingFullMachineRoot(PHANDLE key, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                                               ULONG titleIndex, PUNICODE_STRING className, ULONG options,
                                               PULONG disposition) {
  if (test::ObjectName(attributes) == L"\\REGISTRY\\MACHINE") {
    g_machineRootOpens.push_back(access);
    if (access == KEY_ALL_ACCESS) return nt::AccessDenied;
  }
  return g_realCreateKey(key, access, attributes, titleIndex, className, options, disposition);
}

TEST(RegistryKey, RootIsOpenedOncePerObjectAndForReadingWhenFullAccessIsDenied) {
  g_realCreateKey = NativeChanges().ZwCreateKey;
  g_machineRootOpens.clear();
  SwappedEntry swap(NativeChanges().ZwCreateKey, &CreateKeyDenyingFullMachineRoot);
  RegistryKey key(RootLocalMachine);
  ASSERT_EQ(key.Open(L"SOFTWARE"), status::Success);
  key.Close();
  ASSERT_EQ(key.Open(L"SYSTEM"), status::Success);
  key.Close();
  EXPECT_TRUE(RegistryKey::KeyExists(key, L"SOFTWARE\\Microsoft"));
  EXPECT_EQ(g_machineRootOpens, (std::vector<ACCESS_MASK>{KEY_ALL_ACCESS, KEY_READ}));
}

}  // namespace
}  // namespace zor
