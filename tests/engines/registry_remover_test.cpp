// The registry stage on real keys under Wine: every test works below a key
// of its own (and its own control sets), so the tests may run side by side
// in one prefix.
#include "engines/registry_remover.h"
#include "engines/stage_engines.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/run_context.h"
#include "platform/native_types.h"
#include "tests/engines/engine_log.h"
#include "tests/platform/file_test_support.h"
#include "tests/platform/registry_test_support.h"

namespace zor {
namespace {

// The table's typed fields from the plain numbers these tests also try.
RegistryRowView View(std::int32_t view) { return static_cast<RegistryRowView>(view); }
RegistryParentRoot Parent(std::int32_t parent) { return static_cast<RegistryParentRoot>(parent); }


using test::Joined;
using test::KeyPresent;
using test::MakeKey;
using test::Narrow;
using test::ScopedTree;
using test::UniqueKeyName;
using Lines = std::vector<std::string>;
using List = std::vector<std::wstring>;

constexpr REGSAM k32 = KEY_WOW64_32KEY;
constexpr REGSAM k64 = KEY_WOW64_64KEY;

std::uint32_t Code(const StatusRecord& record) { return static_cast<std::uint32_t>(record.Code()); }

std::string Lower(const std::wstring& text) {
  std::wstring lower = text;
  for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
  return Narrow(lower);
}

// The engine bound to a run context whose logger keeps its lines, on 64-bit
// Windows as Wine is.
struct Engine {
  Engine() {
    context.logger = log.logger();
    context.parameters.Is64BitSystem = true;
  }
  ~Engine() { context.logger = nullptr; }
  Lines TakeLines() { return log.TakeLines(); }

  test::EngineLog log;
  RunContext context;
  RegistryRemover remover{context};
};

// A DACL for everyone that grants `rights` only, and full rights back when
// the test ends so that the tree can be removed.
class KeyGrants {
 public:
  KeyGrants(HKEY root, std::wstring path, ACCESS_MASK rights, REGSAM flags = 0)
      : root_(root), path_(std::move(path)), flags_(flags) {
    applied_ = Grant(rights);
  }
  ~KeyGrants() { Grant(KEY_ALL_ACCESS); }
  bool applied() const { return applied_; }
  bool Refuses(ACCESS_MASK rights) const {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_, path_.c_str(), 0, rights | flags_, &key) != ERROR_SUCCESS) return true;
    RegCloseKey(key);
    return false;
  }

 private:
  bool Grant(ACCESS_MASK rights) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof(sid);
    if (!CreateWellKnownSid(WinWorldSid, nullptr, sid, &sidSize)) return false;
    alignas(8) BYTE aclBuffer[128];
    auto* acl = reinterpret_cast<PACL>(aclBuffer);
    if (!InitializeAcl(acl, sizeof(aclBuffer), ACL_REVISION) || !AddAccessAllowedAce(acl, ACL_REVISION, rights, sid)) {
      return false;
    }
    SECURITY_DESCRIPTOR descriptor;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE)) {
      return false;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_, path_.c_str(), 0, WRITE_DAC | flags_, &key) != ERROR_SUCCESS) return false;
    const LONG set = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
    RegCloseKey(key);
    return set == ERROR_SUCCESS;
  }

  HKEY root_;
  std::wstring path_;
  REGSAM flags_;
  bool applied_ = false;
};

bool WriteList(HKEY root, const std::wstring& path, const std::wstring& name, const List& list, REGSAM flags = 0) {
  std::wstring data;
  for (const std::wstring& entry : list) data += entry + L'\0';
  data += L'\0';
  return test::WriteValue(root, path, name, REG_MULTI_SZ, data.data(), static_cast<DWORD>(data.size() * 2), flags);
}

// The entries of a REG_MULTI_SZ value; one entry "(type N)" for another
// type and "(unreadable)" for no value.
List ReadList(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM flags = 0) {
  DWORD type = 0;
  std::vector<std::uint8_t> data;
  if (!test::ReadValue(root, path, name, type, data, flags)) return {L"(unreadable)"};
  if (type != REG_MULTI_SZ) return {L"(type " + std::to_wstring(type) + L")"};
  const std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2);
  List list;
  std::size_t start = 0;
  while (start < text.size() && text[start] != L'\0') {
    const std::size_t end = text.find(L'\0', start);
    list.push_back(text.substr(start, end - start));
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return list;
}

DWORD ValueType(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM flags = 0) {
  DWORD type = 0;
  std::vector<std::uint8_t> data;
  return test::ReadValue(root, path, name, type, data, flags) ? type : REG_NONE;
}

bool ValuePresent(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM flags = 0) {
  DWORD type = 0;
  std::vector<std::uint8_t> data;
  return test::ReadValue(root, path, name, type, data, flags);
}

// ---------------------------------------------------------------- keys

TEST(RegistryRemoveKey, DeletesTheTreeInTheRowsViewOnly) {
  const std::wstring base = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree64(HKEY_LOCAL_MACHINE, base, k64);
  ScopedTree tree32(HKEY_LOCAL_MACHINE, base, k32);
  const struct {
    std::int32_t view;
    bool gone32;
    bool gone64;
  } rows[] = {{1, true, false}, {2, false, true}, {0, false, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << "view " << row.view);
    for (REGSAM flags : {k32, k64}) {
      ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, base + L"\\Product\\Sub\\Deeper", L"V", L"x", flags));
    }
    Engine engine;
    const StatusRecord result = engine.remover.RemoveKey(ParentLocalMachine, base + L"\\Product", View(row.view), true);
    EXPECT_TRUE(result.Empty()) << std::hex << Code(result);
    EXPECT_EQ(KeyPresent(HKEY_LOCAL_MACHINE, base + L"\\Product", k32), !row.gone32);
    EXPECT_EQ(KeyPresent(HKEY_LOCAL_MACHINE, base + L"\\Product", k64), !row.gone64);
    EXPECT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, base, k32));
    EXPECT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, base, k64));
    // A deleted key is not logged.
    EXPECT_EQ(engine.TakeLines(), Lines{});
  }
}

TEST(RegistryRemoveKey, EachRootSelectorReachesItsRootAndNoOther) {
  const std::wstring name = UniqueKeyName();
  ScopedTree machine(HKEY_LOCAL_MACHINE, L"SOFTWARE\\" + name);
  ScopedTree user(HKEY_CURRENT_USER, L"Software\\" + name);
  ScopedTree classes(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\" + name);
  const struct Place {
    HKEY root;
    std::wstring path;
  } places[] = {{HKEY_LOCAL_MACHINE, L"SOFTWARE\\" + name + L"\\Product"},
                {HKEY_CURRENT_USER, L"Software\\" + name + L"\\Product"},
                {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\" + name + L"\\Product"}};
  const struct {
    std::int32_t parent;
    std::wstring keyPath;
    int removed;  // index into places
  } rows[] = {{ParentLocalMachine, L"SOFTWARE\\" + name + L"\\Product", 0},
              {ParentCurrentUser, L"Software\\" + name + L"\\Product", 1},
              {ParentClassesRoot, name + L"\\Product", 2}};
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << "parent " << row.parent);
    for (const Place& place : places) ASSERT_TRUE(test::WriteString(place.root, place.path + L"\\Sub", L"V", L"x"));
    Engine engine;
    EXPECT_TRUE(engine.remover.RemoveKey(Parent(row.parent), row.keyPath, View(0), true).Empty());
    for (int i = 0; i < 3; ++i) {
      SCOPED_TRACE(Narrow(places[i].path));
      EXPECT_EQ(KeyPresent(places[i].root, places[i].path), i != row.removed);
    }
    EXPECT_EQ(engine.TakeLines(), Lines{});
  }
}

TEST(RegistryRemoveKey, AnUnknownRootSelectorFailsEveryStepAndTouchesNothing) {
  const std::wstring path = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, path);
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, path, L"AppInit_DLLs", L"zorrssta.dll"));
  for (std::int32_t parent : {3, -1, static_cast<std::int32_t>(0x80000002)}) {
    SCOPED_TRACE(parent);
    Engine engine;
    const std::string wrong = "DEBUG Wrong RegistryParent parameter for key " + Narrow(path);
    EXPECT_EQ(Code(engine.remover.RemoveKey(Parent(parent), path, View(0), true)), 0x80004005u);
    EXPECT_EQ(Code(engine.remover.RemoveValue(Parent(parent), path, L"AppInit_DLLs", View(0))), 0x80004005u);
    EXPECT_EQ(Code(engine.remover.ModifyValue(Parent(parent), path, L"AppInit_DLLs", View(0))), 0x80004005u);
    EXPECT_EQ(engine.TakeLines(), (Lines{wrong, wrong, wrong}));
    EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, path, L"AppInit_DLLs"), L"zorrssta.dll");
  }
}

TEST(RegistryRemoveKey, AMissingKeyIsReportedAtDebugOnly) {
  const std::wstring base = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree64(HKEY_LOCAL_MACHINE, base, k64);
  ScopedTree tree32(HKEY_LOCAL_MACHINE, base, k32);
  // Present in the 64-bit view only: the 32-bit row finds nothing.
  ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, base + L"\\Only64", k64));
  const struct {
    std::wstring keyPath;
    std::int32_t view;
    bool force;
  } rows[] = {{base + L"\\Missing", 0, true},
              {base + L"\\Missing", 0, false},
              {base + L"\\Missing\\Deeper", 2, true},
              {base + L"\\Only64", 1, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.keyPath));
    Engine engine;
    EXPECT_TRUE(engine.remover.RemoveKey(ParentLocalMachine, row.keyPath, View(row.view), row.force).Empty());
    EXPECT_EQ(engine.TakeLines(), Lines{"DEBUG Key " + Narrow(row.keyPath) + " not found"});
  }
  EXPECT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, base + L"\\Only64", k64));
}

TEST(RegistryRemoveKey, AKeyThatCannotGoIsAWarningAndTheStepStillSucceeds) {
  const std::wstring base = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, base);
  const struct {
    const char* label;
    const wchar_t* key;
    bool readOnly;
    bool withSubkey;
    bool force;
    const char* suffix;
  } rows[] = {
      {"read-only leaf, forced", L"ReadOnlyLeafForced", true, false, true, " failed (error e0010058)"},
      {"read-only tree, forced", L"ReadOnlyTreeForced", true, true, true, " failed (error e0010058)"},
      {"read-only leaf, plain", L"ReadOnlyLeafPlain", true, false, false, " failed (error e0010058)"},
      {"tree, plain", L"TreePlain", false, true, false, " failed (error e0010058), key is not empty"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const std::wstring path = base + L"\\" + row.key;
    ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, row.withSubkey ? path + L"\\Sub" : path));
    std::unique_ptr<KeyGrants> grants;
    if (row.readOnly) {
      grants = std::make_unique<KeyGrants>(HKEY_LOCAL_MACHINE, path, KEY_READ);
      ASSERT_TRUE(grants->applied());
      ASSERT_TRUE(grants->Refuses(KEY_ALL_ACCESS));
    }
    Engine engine;
    EXPECT_TRUE(engine.remover.RemoveKey(ParentLocalMachine, path, View(0), row.force).Empty());
    EXPECT_EQ(engine.TakeLines(), Lines{"WARN Deleting key " + Narrow(path) + row.suffix});
    EXPECT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, path));
  }
}

TEST(RegistryRemoveKey, ViewsMeanNothingOnThirtyTwoBitWindowsNorForOtherViewNumbers) {
  const std::wstring base = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree64(HKEY_LOCAL_MACHINE, base, k64);
  ScopedTree tree32(HKEY_LOCAL_MACHINE, base, k32);
  const struct {
    bool system64Bit;
    std::int32_t view;
  } rows[] = {{false, 1}, {false, 2}, {true, 3}, {true, 4}, {true, -1}, {true, 0x12}};
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << (row.system64Bit ? "64-bit" : "32-bit") << " view " << row.view);
    for (REGSAM flags : {k32, k64}) ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, base + L"\\Product", flags));
    Engine engine;
    engine.remover.AssumeSystem64Bit(row.system64Bit);
    EXPECT_TRUE(engine.remover.RemoveKey(ParentLocalMachine, base + L"\\Product", View(row.view), true).Empty());
    // The default view of this 64-bit program is the 64-bit one.
    EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, base + L"\\Product", k64));
    EXPECT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, base + L"\\Product", k32));
    EXPECT_EQ(engine.TakeLines(), Lines{});
  }
}

// ---------------------------------------------------------------- values

TEST(RegistryRemoveValue, DeletesTheValueInTheRowsViewOnly) {
  const std::wstring base = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree64(HKEY_LOCAL_MACHINE, base, k64);
  ScopedTree tree32(HKEY_LOCAL_MACHINE, base, k32);
  const std::wstring run = base + L"\\Run";
  for (std::int32_t view : {1, 2}) {
    SCOPED_TRACE(view);
    for (REGSAM flags : {k32, k64}) {
      ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, run, L"ZorTray", L"zortray.exe", flags));
      ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, run, L"OtherTray", L"other.exe", flags));
    }
    Engine engine;
    EXPECT_TRUE(engine.remover.RemoveValue(ParentLocalMachine, run, L"ZorTray", View(view)).Empty());
    EXPECT_EQ(ValuePresent(HKEY_LOCAL_MACHINE, run, L"ZorTray", k32), view != 1);
    EXPECT_EQ(ValuePresent(HKEY_LOCAL_MACHINE, run, L"ZorTray", k64), view != 2);
    EXPECT_TRUE(ValuePresent(HKEY_LOCAL_MACHINE, run, L"OtherTray", k32));
    EXPECT_TRUE(ValuePresent(HKEY_LOCAL_MACHINE, run, L"OtherTray", k64));
    EXPECT_EQ(engine.TakeLines(), Lines{});
  }
}

TEST(RegistryRemoveValue, WhatIsMissingOrCannotGoIsReported) {
  const std::wstring base = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, base);
  const std::wstring readOnly = base + L"\\ReadOnly";
  const std::wstring present = base + L"\\Present";
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, readOnly, L"ZorGui", L"zorgui.exe"));
  ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, present));
  KeyGrants grants(HKEY_LOCAL_MACHINE, readOnly, KEY_READ);
  ASSERT_TRUE(grants.applied());
  const struct {
    std::wstring keyPath;
    std::string line;
  } rows[] = {
      {base + L"\\Missing", "DEBUG Value " + Narrow(base) + "\\Missing:ZorGui not present - Key not found"},
      {present, "INFO Value " + Narrow(present) + ":ZorGui is not present"},
      {readOnly, "WARN Deleting value " + Narrow(readOnly) + ":ZorGui failed (error e0010058)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.keyPath));
    Engine engine;
    EXPECT_TRUE(engine.remover.RemoveValue(ParentLocalMachine, row.keyPath, L"ZorGui", View(0)).Empty());
    EXPECT_EQ(engine.TakeLines(), Lines{row.line});
  }
  EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, readOnly, L"ZorGui"), L"zorgui.exe");
}

TEST(RegistryRemoveValue, AKeyThatCannotBeOpenedIsReportedWithItsError) {
  const std::wstring base = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, base);
  const std::wstring path = base + L"\\WriteOnly";
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, path, L"ZorGui", L"zorgui.exe"));
  KeyGrants grants(HKEY_LOCAL_MACHINE, path, KEY_SET_VALUE);
  ASSERT_TRUE(grants.applied());
  ASSERT_TRUE(grants.Refuses(KEY_READ));
  Engine engine;
  EXPECT_TRUE(engine.remover.RemoveValue(ParentLocalMachine, path, L"ZorGui", View(0)).Empty());
  EXPECT_EQ(engine.TakeLines(), Lines{"DEBUG Opening key " + Narrow(path) + " failed (error e0010058)"});
}

// ---------------------------------------------------------------- AppInit_DLLs

TEST(RegistryModifyValue, TakesEveryProductLibraryOutOfTheAppInitListAndKeepsTheRestAsItWas) {
  const std::wstring path = L"SOFTWARE\\" + UniqueKeyName() + L"\\Windows";
  ScopedTree tree(HKEY_LOCAL_MACHINE, path.substr(0, path.rfind(L'\\')));
  const std::string untouched = "DEBUG Value " + Narrow(path) + ":AppInit_DLLs doesn't need to be modified";
  const struct {
    bool is64;
    bool is32;
    const wchar_t* stored;
    const wchar_t* expected;
    bool logged;
  } rows[] = {
      {true, false, L"zorrssta.dll other.dll,third.dll", L"other.dll,third.dll", false},
      {true, false, L"  other.dll,zorrssta.dll  third.dll", L"  other.dll,third.dll", false},
      {true, false, L"zorrssta.dll", L"", false},
      {true, false, L"zorrsstx.dll", L"zorrsstx.dll", true},
      {true, false, L"a.dll, zorrssta.dll, zorrssta.dll", L"a.dll", false},
      {true, false, L"ZORRSSTA.DLL", L"", false},
      {true, false, L"OVHook64.dll,,C:\\PROGRA~2\\ZOR\\ZOR10\\zorrssta.dll  Other.DLL ", L"OVHook64.dll,,Other.DLL ",
       false},
      {true, false, L" OVHook64.dll \"C:\\Program Files (x86)\\ZOR\\ZOR10\\ZorRssTa.dll\",zorrssta.dll",
       L" OVHook64.dll", false},
      {true, false, L"", L"", true},
      {false, true, L"zorrssta.dll zorrsstx.dll", L"zorrssta.dll", false},
      {false, true, L"zorrssta.dll", L"zorrssta.dll", true},
      // Neither kind of Windows known: no library is the product's.
      {false, false, L"zorrssta.dll zorrsstx.dll", L"zorrssta.dll zorrsstx.dll", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << Narrow(std::wstring(row.stored)) << (row.is64 ? " on 64-bit" : "")
                                      << (row.is32 ? " on 32-bit" : ""));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, path, L"AppInit_DLLs", row.stored));
    Engine engine;
    engine.context.parameters.Is64BitSystem = row.is64;
    engine.context.parameters.Is32BitSystem = row.is32;
    EXPECT_TRUE(engine.remover.ModifyValue(ParentLocalMachine, path, L"AppInit_DLLs", View(0)).Empty());
    EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, path, L"AppInit_DLLs"), row.expected);
    EXPECT_EQ(ValueType(HKEY_LOCAL_MACHINE, path, L"AppInit_DLLs"), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(engine.TakeLines(), row.logged ? Lines{untouched} : Lines{});
  }
}

// Other software's lists are read, never written: a key that may only be
// read shows that no write was even tried.
TEST(RegistryModifyValue, AListWithoutTheProductsLibraryIsNotWritten) {
  const std::wstring path = L"SOFTWARE\\" + UniqueKeyName() + L"\\Windows";
  ScopedTree tree(HKEY_LOCAL_MACHINE, path.substr(0, path.rfind(L'\\')));
  const std::string untouched = "DEBUG Value " + Narrow(path) + ":AppInit_DLLs doesn't need to be modified";
  for (const wchar_t* text : {L" OVHook64.dll,, zorrsstx.dll  ", L"zorrssta.dll.bak;zorrssta.dll", L" , ", L""}) {
    SCOPED_TRACE(Narrow(std::wstring(text)));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, path, L"AppInit_DLLs", text));
    KeyGrants grants(HKEY_LOCAL_MACHINE, path, KEY_READ);
    ASSERT_TRUE(grants.applied());
    ASSERT_TRUE(grants.Refuses(KEY_SET_VALUE));
    Engine engine;
    EXPECT_TRUE(engine.remover.ModifyValue(ParentLocalMachine, path, L"AppInit_DLLs", View(0)).Empty());
    EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, path, L"AppInit_DLLs"), text);
    EXPECT_EQ(engine.TakeLines(), Lines{untouched});
  }
}

TEST(RegistryModifyValue, EditsTheListInTheRowsViewOnly) {
  const std::wstring base = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree64(HKEY_LOCAL_MACHINE, base, k64);
  ScopedTree tree32(HKEY_LOCAL_MACHINE, base, k32);
  const std::wstring path = base + L"\\Windows";
  for (REGSAM flags : {k32, k64}) {
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, path, L"AppInit_DLLs", L"zorrssta.dll,b.dll", flags));
  }
  Engine engine;
  EXPECT_TRUE(engine.remover.ModifyValue(ParentLocalMachine, path, L"AppInit_DLLs", View(1)).Empty());
  EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, path, L"AppInit_DLLs", k32), L"b.dll");
  EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, path, L"AppInit_DLLs", k64), L"zorrssta.dll,b.dll");
}

TEST(RegistryModifyValue, ReportsWhatItCannotReadOrWriteAndLeavesTheListAsItWas) {
  const std::wstring base = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, base);
  const std::wstring empty = base + L"\\NoValue";
  const std::wstring multi = base + L"\\Multi";
  const std::wstring readOnly = base + L"\\ReadOnly";
  ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, empty));
  ASSERT_TRUE(WriteList(HKEY_LOCAL_MACHINE, multi, L"AppInit_DLLs", {L"zorrssta.dll"}));
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, readOnly, L"AppInit_DLLs", L"zorrssta.dll other.dll"));
  KeyGrants grants(HKEY_LOCAL_MACHINE, readOnly, KEY_READ);
  ASSERT_TRUE(grants.applied());
  const struct {
    std::wstring keyPath;
    std::uint32_t code;
    std::string line;
  } rows[] = {
      // No key: there is no list to take anything out of.
      {base + L"\\Missing", 0, "DEBUG Value " + Narrow(base) + "\\Missing:AppInit_DLLs doesn't need to be modified"},
      {empty, 0xE001003D, "DEBUG Reading " + Narrow(empty) + ":AppInit_DLLs failed (error: e001003d)"},
      {multi, 0xE0010014, "DEBUG Reading " + Narrow(multi) + ":AppInit_DLLs failed (error: e0010014)"},
      {readOnly, 0xE0010058,
       "DEBUG Storing new value of " + Narrow(readOnly) + ":AppInit_DLLs failed, new value: other.dll (error: e0010058)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.keyPath));
    Engine engine;
    EXPECT_EQ(Code(engine.remover.ModifyValue(ParentLocalMachine, row.keyPath, L"AppInit_DLLs", View(0))), row.code);
    EXPECT_EQ(engine.TakeLines(), Lines{row.line});
  }
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, base + L"\\Missing"));
  EXPECT_EQ(ReadList(HKEY_LOCAL_MACHINE, multi, L"AppInit_DLLs"), List{L"zorrssta.dll"});
  EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, readOnly, L"AppInit_DLLs"), L"zorrssta.dll other.dll");
}

TEST(RegistryModifyValue, OnlyTheAppInitListHasAModification) {
  const std::wstring path = L"SOFTWARE\\" + UniqueKeyName();
  ScopedTree tree(HKEY_LOCAL_MACHINE, path);
  for (const std::wstring name : {L"Other", L"appinit_dlls", L"AppInit_DLLs "}) {
    SCOPED_TRACE(Narrow(name));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, path, name, L"zorrssta.dll"));
    Engine engine;
    EXPECT_TRUE(engine.remover.ModifyValue(ParentLocalMachine, path, name, View(0)).Empty());
    EXPECT_EQ(engine.TakeLines(),
              Lines{"ERROR Modify action is not defined for " + Narrow(path) + ":" + Narrow(name)});
    EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, path, name), L"zorrssta.dll");
  }
}

// ---------------------------------------------------------------- BootExecute

// Control sets of the test's own below HKLM\SOFTWARE, and a program folder
// whose long and 8.3 forms differ.
class RegistryBootExecute : public ::testing::Test {
 protected:
  RegistryBootExecute()
      : systemKey_(L"SOFTWARE\\" + UniqueKeyName()), tree_(HKEY_LOCAL_MACHINE, systemKey_) {}

  void SetUp() override {
    ASSERT_TRUE(folder_.made());
    test::MakeFolder(folder_ / L"Program Files Test");
    test::MakeFolder(zorDir());
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetShortPathNameW(zorDir().c_str(), buffer, MAX_PATH);
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, static_cast<DWORD>(MAX_PATH));
    shortDir_.assign(buffer, length);
    ASSERT_NE(Lower(shortDir_), Lower(zorDir()));
    engine_.context.parameters.ZorDir = zorDir();
  }

  std::wstring zorDir() const { return folder_ / L"Program Files Test\\ZOR10"; }
  const std::wstring& shortDir() const { return shortDir_; }
  const std::wstring& systemKey() const { return systemKey_; }
  // "CurrentControlSet" or "ControlSet00n".
  std::wstring SessionManager(const std::wstring& set) const {
    return systemKey_ + L"\\" + set + L"\\Control\\Session Manager";
  }
  bool Write(const std::wstring& set, const List& list) {
    return WriteList(HKEY_LOCAL_MACHINE, SessionManager(set), L"BootExecute", list);
  }
  List Read(const std::wstring& set) const { return ReadList(HKEY_LOCAL_MACHINE, SessionManager(set), L"BootExecute"); }
  std::string Found(const std::wstring& lowered, const std::wstring& set) const {
    return "DEBUG Found value '" + Narrow(lowered) + "' to remove from registry value HKLM\\" +
           Narrow(SessionManager(set)) + "\\\\BootExecute";
  }
  // What the product writes: its boot-time checker with a file of the
  // program folder, once in each form and letter case.
  List ProductEntries() const {
    std::wstring upper = zorDir();
    for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(c));
    return {L"zorbtchk " + upper + L"\\Drivers\\zorbtchk.dat", L"ZorBoot " + shortDir_ + L"\\Drivers\\Boot.dat"};
  }
  List LoweredProductEntries() const {
    List lowered;
    for (const std::wstring& entry : ProductEntries()) {
      std::wstring lower = entry;
      for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
      lowered.push_back(lower);
    }
    return lowered;
  }

  Engine engine_;

 private:
  test::TestFolder folder_;
  std::wstring shortDir_;
  std::wstring systemKey_;
  ScopedTree tree_;
};

TEST_F(RegistryBootExecute, DropsProductEntriesFromEveryControlSetUpToTheFirstMissingOne) {
  // Other software's entries in mixed case, as their installers wrote them.
  const List others = {L"AutoCheck AutoChk *", L"OtherVendorChk \\??\\C:\\Program Files\\Other Vendor\\OVChk.exe /Scan",
                       L"OtherTool \\??\\C:\\Other\\Check.dat"};
  const List mixed = {others[0], ProductEntries()[0], others[1], others[2], ProductEntries()[1]};
  const std::wstring sets[] = {L"CurrentControlSet", L"ControlSet001", L"ControlSet002", L"ControlSet004"};
  for (const std::wstring& set : sets) ASSERT_TRUE(Write(set, mixed));

  EXPECT_TRUE(engine_.remover.CleanBootExecute(systemKey()).Empty());

  Lines expected = {"DEBUG Removing Session Manager values"};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(Narrow(sets[i]));
    // What stays comes back as it was stored, letter case included.
    EXPECT_EQ(Read(sets[i]), others);
    for (const std::wstring& entry : LoweredProductEntries()) expected.push_back(Found(entry, sets[i]));
  }
  // ControlSet003 is missing: ControlSet004 is not looked at.
  EXPECT_EQ(Read(L"ControlSet004"), mixed);
  EXPECT_EQ(engine_.TakeLines(), expected) << Joined(engine_.TakeLines());
}

TEST_F(RegistryBootExecute, AListWithoutProductEntriesIsNotRewritten) {
  const List others = {L"AutoCheck AutoChk *", L"OtherTool C:\\Program Files Test\\Other.dat"};
  ASSERT_TRUE(Write(L"CurrentControlSet", others));
  EXPECT_TRUE(engine_.remover.CleanBootExecute(systemKey()).Empty());
  EXPECT_EQ(Read(L"CurrentControlSet"), others);
  EXPECT_EQ(engine_.TakeLines(), Lines{"DEBUG Removing Session Manager values"});
}

// A product entry left behind would run at every start, naming a program
// that the file stage deletes: the emptied list is written back.
TEST_F(RegistryBootExecute, AListOfProductEntriesOnlyIsWrittenBackEmpty) {
  ASSERT_TRUE(Write(L"CurrentControlSet", ProductEntries()));
  EXPECT_TRUE(engine_.remover.CleanBootExecute(systemKey()).Empty());
  EXPECT_EQ(Read(L"CurrentControlSet"), List{});
  EXPECT_EQ(ValueType(HKEY_LOCAL_MACHINE, SessionManager(L"CurrentControlSet"), L"BootExecute"),
            static_cast<DWORD>(REG_MULTI_SZ));
  const List lowered = LoweredProductEntries();
  EXPECT_EQ(engine_.TakeLines(), (Lines{"DEBUG Removing Session Manager values", Found(lowered[0], L"CurrentControlSet"),
                                        Found(lowered[1], L"CurrentControlSet")}));
}

TEST_F(RegistryBootExecute, AValueThatIsMissingOrNoListIsLeftAloneAndTheNextSetIsCleaned) {
  const std::wstring productText = ProductEntries()[0];
  ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, SessionManager(L"CurrentControlSet")));
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, SessionManager(L"ControlSet001"), L"BootExecute", productText));
  ASSERT_TRUE(Write(L"ControlSet002", {L"autocheck autochk *", ProductEntries()[1]}));

  EXPECT_TRUE(engine_.remover.CleanBootExecute(systemKey()).Empty());
  EXPECT_FALSE(ValuePresent(HKEY_LOCAL_MACHINE, SessionManager(L"CurrentControlSet"), L"BootExecute"));
  EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, SessionManager(L"ControlSet001"), L"BootExecute"), productText);
  EXPECT_EQ(Read(L"ControlSet002"), List{L"autocheck autochk *"});
  EXPECT_EQ(engine_.TakeLines(), (Lines{"DEBUG Removing Session Manager values",
                                        Found(LoweredProductEntries()[1], L"ControlSet002")}));
}

TEST_F(RegistryBootExecute, AProgramFolderThatIsGoneOrUnnamedFailsBeforeAnyEntryIsExamined) {
  const List mixed = {L"autocheck autochk *", ProductEntries()[0]};
  ASSERT_TRUE(Write(L"CurrentControlSet", mixed));
  ASSERT_TRUE(Write(L"ControlSet001", mixed));
  const struct {
    std::wstring zorDir;
    std::uint32_t code;
  } rows[] = {{zorDir() + L"\\Gone", 0xE001003D}, {zorDir() + L"\\Gone\\Deeper", 0xE001003E}, {L"", 0xE0010002}};
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.zorDir));
    engine_.context.parameters.ZorDir = row.zorDir;
    EXPECT_EQ(Code(engine_.remover.CleanBootExecute(systemKey())), row.code);
    EXPECT_EQ(Read(L"CurrentControlSet"), mixed);
    EXPECT_EQ(Read(L"ControlSet001"), mixed);
    EXPECT_EQ(engine_.TakeLines(), Lines{"DEBUG Removing Session Manager values"});
  }
}

TEST_F(RegistryBootExecute, WithoutAnyControlSetTheFolderIsNeverLookedAt) {
  engine_.context.parameters.ZorDir = zorDir() + L"\\Gone";
  EXPECT_TRUE(engine_.remover.CleanBootExecute(systemKey() + L"\\Nothing").Empty());
  EXPECT_EQ(engine_.TakeLines(), Lines{"DEBUG Removing Session Manager values"});
}

TEST_F(RegistryBootExecute, AListThatCannotBeWrittenEndsTheCleanUp) {
  const List mixed = {L"autocheck autochk *", ProductEntries()[0]};
  for (const wchar_t* set : {L"CurrentControlSet", L"ControlSet001", L"ControlSet002"}) ASSERT_TRUE(Write(set, mixed));
  KeyGrants grants(HKEY_LOCAL_MACHINE, SessionManager(L"ControlSet001"), KEY_READ);
  ASSERT_TRUE(grants.applied());
  ASSERT_TRUE(grants.Refuses(KEY_SET_VALUE));

  EXPECT_EQ(Code(engine_.remover.CleanBootExecute(systemKey())), 0xE0010058u);
  EXPECT_EQ(Read(L"CurrentControlSet"), List{L"autocheck autochk *"});
  EXPECT_EQ(Read(L"ControlSet001"), mixed);
  EXPECT_EQ(Read(L"ControlSet002"), mixed);
  const std::wstring lowered = LoweredProductEntries()[0];
  EXPECT_EQ(engine_.TakeLines(), (Lines{"DEBUG Removing Session Manager values", Found(lowered, L"CurrentControlSet"),
                                        Found(lowered, L"ControlSet001")}));
}

// The machine's own Session Manager key is read, but not written: a folder
// that is gone fails there, and nothing is changed.
TEST_F(RegistryBootExecute, WithoutAKeyOfItsOwnTheMachinesControlSetsAreExamined) {
  const std::wstring machine = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  ASSERT_TRUE(KeyPresent(HKEY_LOCAL_MACHINE, machine));
  const List before = ReadList(HKEY_LOCAL_MACHINE, machine, L"BootExecute");
  engine_.context.parameters.ZorDir = zorDir() + L"\\Gone";
  EXPECT_EQ(Code(engine_.remover.CleanBootExecute()), 0xE001003Du);
  EXPECT_EQ(ReadList(HKEY_LOCAL_MACHINE, machine, L"BootExecute"), before);
}

// ---------------------------------------------------------------- the stage

TEST_F(RegistryBootExecute, TheStageRunsEachRowsStepsInOrderAndReportsOnlyTheCleanUp) {
  const std::wstring base = systemKey() + L"\\Items";
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, base + L"\\Present\\Sub", L"V", L"x"));
  ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, base + L"\\Leaf"));
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, base + L"\\Run", L"ZorTray", L"zortray.exe"));
  ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, base + L"\\Windows", L"AppInit_DLLs", L"zorrssta.dll,b.dll"));
  ASSERT_TRUE(Write(L"CurrentControlSet", {L"autocheck autochk *", ProductEntries()[0]}));
  const std::wstring present = base + L"\\Present", missing = base + L"\\Missing", leaf = base + L"\\Leaf",
                     run = base + L"\\Run", windows = base + L"\\Windows";
  const RegistryItem items[] = {
      {present, L"", ParentLocalMachine, RegistryRowView::Default, ActionKeyForceRemove},
      {missing, L"", ParentLocalMachine, RegistryRowView::Default, ActionKeyForceRemove},
      {run, L"ZorTray", ParentLocalMachine, RegistryRowView::Default, ActionValueRemove},
      {windows, L"AppInit_DLLs", ParentLocalMachine, RegistryRowView::Default, ActionValueModify},
      // Several steps in one row run key first, value after.
      {leaf, L"ZorTray", ParentLocalMachine, RegistryRowView::Default, ActionKeyRemove | ActionValueRemove},
      {present, L"", Parent(5), RegistryRowView::Default, ActionKeyForceRemove},
      {windows, L"Other", ParentLocalMachine, RegistryRowView::Default, ActionValueModify},
  };
  const std::string p = Narrow(present), m = Narrow(missing), l = Narrow(leaf), r = Narrow(run), w = Narrow(windows);

  EXPECT_TRUE(engine_.remover.RemoveRegistryItems(items, systemKey()).Empty());

  const Lines expected = {
      "INFO Processing registry " + p,
      "DEBUG Key " + p + " ForceRemove",
      "INFO Processing registry " + m,
      "DEBUG Key " + m + " ForceRemove",
      "DEBUG Key " + m + " not found",
      "INFO Processing registry " + r,
      "DEBUG Value " + r + ":ZorTray Remove",
      "INFO Processing registry " + w,
      "DEBUG Value " + w + ":AppInit_DLLs Modify",
      "INFO Processing registry " + l,
      "DEBUG Key " + l + " Remove",
      "DEBUG Value " + l + ":ZorTray Remove",
      "DEBUG Value " + l + ":ZorTray not present - Key not found",
      "INFO Processing registry " + p,
      "DEBUG Key " + p + " ForceRemove",
      "DEBUG Wrong RegistryParent parameter for key " + p,
      "DEBUG Key " + p + " ForceRemove failed",
      "INFO Processing registry " + w,
      "DEBUG Value " + w + ":Other Modify",
      "ERROR Modify action is not defined for " + w + ":Other",
      "DEBUG Removing Session Manager values",
      Found(LoweredProductEntries()[0], L"CurrentControlSet"),
  };
  const Lines lines = engine_.TakeLines();
  EXPECT_EQ(lines, expected) << Joined(lines);
  EXPECT_EQ(engine_.log.FileIds(), std::set<std::string>{"388E34E6-E1EE-4634-B2B6-DBF223FB44B3"});
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, present));
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, leaf));
  EXPECT_FALSE(ValuePresent(HKEY_LOCAL_MACHINE, run, L"ZorTray"));
  EXPECT_EQ(test::ReadString(HKEY_LOCAL_MACHINE, windows, L"AppInit_DLLs"), L"b.dll");
  EXPECT_EQ(Read(L"CurrentControlSet"), List{L"autocheck autochk *"});
}

TEST_F(RegistryBootExecute, TheStageFailsOnlyWhenTheCleanUpFailsAndStillDoesEveryRow) {
  const std::wstring base = systemKey() + L"\\Items";
  ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, base + L"\\Product"));
  ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, SessionManager(L"CurrentControlSet")));
  const std::wstring unknownRoot = base + L"\\Elsewhere", product = base + L"\\Product";
  const RegistryItem items[] = {
      {unknownRoot, L"", Parent(9), RegistryRowView::Default, ActionKeyForceRemove},
      {product, L"", ParentLocalMachine, RegistryRowView::Default, ActionKeyForceRemove},
  };
  engine_.context.parameters.ZorDir = zorDir() + L"\\Gone";
  EXPECT_EQ(Code(engine_.remover.RemoveRegistryItems(items, systemKey())), 0xE001003Du);
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, base + L"\\Product"));
}

TEST(RegistryStage, TheProgramRunsTheRegistryRemoverAsItsRegistryStage) {
  RunContext context;
  BindStageEngines(context);
  ASSERT_NE(context.engines.registry, nullptr);
  EXPECT_NE(dynamic_cast<RegistryRemover*>(context.engines.registry.get()), nullptr);
}

}  // namespace
}  // namespace zor
