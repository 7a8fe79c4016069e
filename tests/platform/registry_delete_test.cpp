// Deleting keys: plain and tree deletes, undeletable subkeys, keys already
// marked for deletion, and registry links inside a tree.
#include <gtest/gtest.h>

#include <initializer_list>

#include "platform/native_api.h"
#include "platform/registry_key.h"
#include "tests/platform/registry_test_support.h"

namespace zor {
namespace {

using test::SwappedEntry;
using test::KeyPresent;
using test::Narrow;
using test::ScopedTree;
using test::UniqueKeyName;

std::uint32_t Code(StatusCode code) { return static_cast<std::uint32_t>(code); }

// Puts a DACL on a key for everyone, and full rights back when the test
// ends so that the tree can be removed.
class KeyRights {
 public:
  struct Ace {
    bool deny;
    ACCESS_MASK rights;
  };

  KeyRights(HKEY root, std::wstring path, std::initializer_list<Ace> aces) : root_(root), path_(std::move(path)) {
    applied_ = Set(aces);
  }
  ~KeyRights() { Set({{false, KEY_ALL_ACCESS}}); }
  bool applied() const { return applied_; }
  // Whether the system refuses an open asking for `rights`.
  bool Refuses(ACCESS_MASK rights) const {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_, path_.c_str(), 0, rights, &key) != ERROR_SUCCESS) return true;
    RegCloseKey(key);
    return false;
  }

 private:
  bool Set(std::initializer_list<Ace> aces) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof(sid);
    if (!CreateWellKnownSid(WinWorldSid, nullptr, sid, &sidSize)) return false;
    alignas(8) BYTE aclBuffer[256];
    auto* acl = reinterpret_cast<PACL>(aclBuffer);
    if (!InitializeAcl(acl, sizeof(aclBuffer), ACL_REVISION)) return false;
    for (const Ace& ace : aces) {
      const BOOL added = ace.deny ? AddAccessDeniedAce(acl, ACL_REVISION, ace.rights, sid)
                                  : AddAccessAllowedAce(acl, ACL_REVISION, ace.rights, sid);
      if (!added) return false;
    }
    SECURITY_DESCRIPTOR descriptor;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE)) {
      return false;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_, path_.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) return false;
    const LONG set = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
    RegCloseKey(key);
    return set == ERROR_SUCCESS;
  }

  HKEY root_;
  std::wstring path_;
  bool applied_ = false;
};

// T holds A, B, C and D, each with a subkey but C; B is made undeletable by
// `aces`. The tree delete goes past B, removes the others, and fails on T.
void CheckTreeDeleteSkipsUndeletableSubkey(std::initializer_list<KeyRights::Ace> aces, ACCESS_MASK refused,
                                           const char* wineReason) {
  const std::wstring path = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, path);
  for (const wchar_t* sub : {L"\\T\\A\\A1", L"\\T\\B\\B1", L"\\T\\C", L"\\T\\D\\D1"}) {
    ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, path + sub));
  }
  KeyRights rights(HKEY_LOCAL_MACHINE, path + L"\\T\\B", aces);
  ASSERT_TRUE(rights.applied());
  if (wineReason && !rights.Refuses(refused)) GTEST_SKIP() << wineReason;
  ASSERT_TRUE(rights.Refuses(refused));

  RegistryKey key(RootLocalMachine);
  ASSERT_EQ(key.Open(path), status::Success);
  EXPECT_EQ(Code(key.DeleteSubKey(L"T", true)), 0xE0010058u);
  EXPECT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, path + L"\\T"));
  EXPECT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, path + L"\\T\\B\\B1"));
  for (const wchar_t* gone : {L"\\T\\A", L"\\T\\C", L"\\T\\D"}) {
    SCOPED_TRACE(Narrow(gone));
    EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, path + gone));
  }
  std::vector<std::wstring> names;
  ASSERT_EQ(key.Open(L"T"), status::Success);
  ASSERT_EQ(key.EnumSubKeys(names), status::Success);
  EXPECT_EQ(names, std::vector<std::wstring>{L"B"});
}

TEST(RegistryDelete, PlainDeleteRemovesALeafOnly) {
  const std::wstring path = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, path);
  ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, path + L"\\Leaf"));
  ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, path + L"\\Branch\\Inner"));
  RegistryKey key(RootLocalMachine);
  ASSERT_EQ(key.Open(path), status::Success);
  EXPECT_EQ(key.DeleteSubKey(L"Leaf", false), status::Success);
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, path + L"\\Leaf"));
  // A key with subkeys cannot go without the recursive flag.
  EXPECT_EQ(Code(key.DeleteSubKey(L"Branch", false)), 0xE0010058u);
  EXPECT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, path + L"\\Branch\\Inner"));
  // The key of the object itself, through an empty name.
  RegistryKey inner(RootLocalMachine);
  ASSERT_EQ(inner.Open(path + L"\\Branch\\Inner"), status::Success);
  EXPECT_EQ(inner.DeleteSubKey(L"", false), status::Success);
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, path + L"\\Branch\\Inner"));
}

TEST(RegistryDelete, MissingKeysGiveTheOpenFailure) {
  const std::wstring path = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, path);
  ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, path));
  RegistryKey key(RootLocalMachine);
  ASSERT_EQ(key.Open(path), status::Success);
  const struct {
    const wchar_t* name;
    bool recursive;
    std::uint32_t status;
  } rows[] = {
      {L"Missing", false, 0xE001003D},
      {L"Missing", true, 0xE001003D},
      {L"Missing\\Deeper", false, 0xE001003D},
      {L"Missing\\Deeper", true, 0xE001003D},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << Narrow(row.name) << (row.recursive ? " recursive" : " plain"));
    EXPECT_EQ(Code(key.DeleteSubKey(row.name, row.recursive)), row.status);
  }
}

TEST(RegistryDelete, TreeDeleteRemovesEveryLevel) {
  const std::wstring path = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, path);
  for (const wchar_t* sub : {L"\\T\\A\\A1\\A2", L"\\T\\A\\A3", L"\\T\\B", L"\\T\\C\\C1", L"\\T\\D", L"\\T\\E"}) {
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, path + sub, L"Value", L"x"));
  }
  RegistryKey key(RootLocalMachine);
  ASSERT_EQ(key.Open(path), status::Success);
  EXPECT_EQ(key.DeleteSubKey(L"T", true), status::Success);
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, path + L"\\T"));
  EXPECT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, path));
}

TEST(RegistryDelete, TreeDeleteSkipsASubkeyWhoseDeleteIsDenied) {
  CheckTreeDeleteSkipsUndeletableSubkey({{true, DELETE}, {false, KEY_ALL_ACCESS}}, DELETE,
                                        "Wine 8 grants DELETE on a registry key although its DACL denies it");
}

TEST(RegistryDelete, TreeDeleteSkipsASubkeyItMayOnlyRead) {
  CheckTreeDeleteSkipsUndeletableSubkey({{false, KEY_READ}}, KEY_ALL_ACCESS, nullptr);
}

ZwDeleteKeyFunction* g_realDeleteKey = nullptr;
// Another process deletes the key between our open and our delete.
NTSTATUS NTAPI DeleteKeyAfterSomeoneElse(HANDLE key) {
  const NTSTATUS first = g_realDeleteKey(key);
  if (first != 0) return first;
  return nt::KeyDeleted;
}

TEST(RegistryDelete, AKeyAlreadyMarkedForDeletionCountsAsDeleted) {
  const std::wstring path = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, path);
  ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, path + L"\\Plain"));
  ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, path + L"\\Recursive"));
  RegistryKey key(RootLocalMachine);
  ASSERT_EQ(key.Open(path), status::Success);
  g_realDeleteKey = NativeChanges().ZwDeleteKey;
  SwappedEntry swap(NativeChanges().ZwDeleteKey, &DeleteKeyAfterSomeoneElse);
  EXPECT_EQ(key.DeleteSubKey(L"Plain", false), status::Success);
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, path + L"\\Plain"));
  // The tree delete that follows a failed plain delete finds nothing to open.
  EXPECT_EQ(Code(key.DeleteSubKey(L"Recursive", true)), 0xE001003Du);
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, path + L"\\Recursive"));
}

TEST(RegistryDelete, ALinkInsideATreeGoesAndItsTargetStays) {
  const std::wstring path = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, path);
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, path + L"\\Target", L"Own", L"target value"));
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, path + L"\\Target\\Sub", L"Inner", L"sub value"));
  ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, path + L"\\Doomed\\Plain"));
  const std::wstring targetName = test::NativeName(HKEY_LOCAL_MACHINE, path + L"\\Target");
  ASSERT_TRUE(test::MakeLink(HKEY_LOCAL_MACHINE, path + L"\\Doomed\\Link", targetName));
  struct LinkGuard {
    std::wstring link;
    ~LinkGuard() { test::RemoveLink(HKEY_LOCAL_MACHINE, link); }
  } guard{path + L"\\Doomed\\Link"};

  // Paths through the link reach the target.
  {
    RegistryKey through(RootLocalMachine);
    ASSERT_EQ(through.Open(path + L"\\Doomed\\Link\\Sub"), status::Success);
    std::wstring text;
    ASSERT_EQ(through.GetString(L"Inner", text), status::Success);
    EXPECT_EQ(text, L"sub value");
  }

  RegistryKey key(RootLocalMachine);
  ASSERT_EQ(key.Open(path), status::Success);
  EXPECT_EQ(key.DeleteSubKey(L"Doomed", true), status::Success);
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, path + L"\\Doomed"));
  EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, path + L"\\Target", L"Own"), L"target value");
  EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, path + L"\\Target\\Sub", L"Inner"), L"sub value");
}

TEST(RegistryDelete, DeletingALinkByNameLeavesItsTarget) {
  const std::wstring path = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, path);
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, path + L"\\LeafTarget", L"Own", L"leaf"));
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, path + L"\\TreeTarget\\Sub", L"Inner", L"sub"));
  const struct {
    const wchar_t* link;
    const wchar_t* target;
    bool recursive;
  } rows[] = {
      {L"PlainLink", L"LeafTarget", false},
      {L"TreeLink", L"TreeTarget", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.link));
    const std::wstring link = path + L"\\" + row.link;
    ASSERT_TRUE(test::MakeLink(HKEY_LOCAL_MACHINE, link, test::NativeName(HKEY_LOCAL_MACHINE, path + L"\\" + row.target)));
    RegistryKey key(RootLocalMachine);
    ASSERT_EQ(key.Open(path), status::Success);
    EXPECT_EQ(key.DeleteSubKey(row.link, row.recursive), status::Success);
    const bool linkLeft = KeyPresent(HKEY_LOCAL_MACHINE, link);
    EXPECT_FALSE(linkLeft);
    if (linkLeft) test::RemoveLink(HKEY_LOCAL_MACHINE, link);
  }
  EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, path + L"\\LeafTarget", L"Own"), L"leaf");
  EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, path + L"\\TreeTarget\\Sub", L"Inner"), L"sub");
}

TEST(RegistryDelete, DeleteValueRemovesOneValue) {
  const std::wstring path = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, path);
  RegistryKey key(RootLocalMachine);
  ASSERT_EQ(key.CreatePath(path), status::Success);
  ASSERT_EQ(key.SetString(L"Goes", L"a"), status::Success);
  ASSERT_EQ(key.SetString(L"Stays", L"b"), status::Success);
  EXPECT_EQ(key.DeleteValue(L"Goes"), status::Success);
  EXPECT_FALSE(key.ValueExists(L"Goes"));
  EXPECT_TRUE(key.ValueExists(L"Stays"));
  EXPECT_EQ(Code(key.DeleteValue(L"Goes")), 0xE001003Du);
}

}  // namespace
}  // namespace zor
