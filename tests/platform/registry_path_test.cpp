#include "platform/registry_path.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/narrow_text.h"

namespace zor {
namespace {

using test::Narrow;

TEST(RegistryRoots, TableHoldsTheNineRootsInCacheOrder) {
  const struct {
    RegistryRoot value;
    const wchar_t* shortName;
    const wchar_t* fullName;
    const wchar_t* path;
  } rows[] = {
      {0x80000000, L"HKCR", L"HKEY_CLASSES_ROOT", L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes"},
      {0x80000001, L"HKCU", L"HKEY_CURRENT_USER", L""},
      {0x80000002, L"HKLM", L"HKEY_LOCAL_MACHINE", L"\\REGISTRY\\MACHINE"},
      {0x80000003, L"HKU", L"HKEY_USERS", L"\\REGISTRY\\USER"},
      {0x80000004, L"HKPD", L"HKEY_PERFORMANCE_DATA", L""},
      {0x80000050, L"HKPT", L"HKEY_PERFORMANCE_TEXT",
       L"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009"},
      {0x80000060, L"HKPN", L"HKEY_PERFORMANCE_NLSTEXT", L""},
      {0x80000005, L"HKCC", L"HKEY_CURRENT_CONFIG",
       L"\\REGISTRY\\MACHINE\\SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current"},
      {0x80000006, L"HKDD", L"HKEY_DYN_DATA", L""},
  };
  ASSERT_EQ(kRegistryRoots.size(), std::size(rows));
  for (std::size_t slot = 0; slot < std::size(rows); ++slot) {
    SCOPED_TRACE(slot);
    EXPECT_EQ(kRegistryRoots[slot].value, rows[slot].value);
    EXPECT_EQ(std::wstring(kRegistryRoots[slot].shortName), rows[slot].shortName);
    EXPECT_EQ(std::wstring(kRegistryRoots[slot].fullName), rows[slot].fullName);
    EXPECT_EQ(std::wstring(kRegistryRoots[slot].path), rows[slot].path);
    ASSERT_TRUE(RegistryRootSlot(rows[slot].value).has_value());
    EXPECT_EQ(*RegistryRootSlot(rows[slot].value), slot);
  }
}

TEST(RegistryRoots, OtherValuesAreNoRoot) {
  for (RegistryRoot value : {0x0u, 0x7FFFFFFFu, 0x80000007u, 0x80000040u, 0x80000051u, 0x1A4u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(value);
    EXPECT_FALSE(RegistryRootSlot(value).has_value());
  }
}

TEST(ViewMode, OnlyTheLowFourBitsSelectTheAccessBits) {
  const struct {
    ViewMode mode;
    std::uint32_t bits;
  } rows[] = {{0, 0}, {1, 0x200}, {2, 0x100}, {4, 0}, {0x11, 0x200}, {0xF02, 0x100}, {0x10, 0}, {3, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.mode);
    EXPECT_EQ(ViewAccessBits(row.mode), row.bits);
  }
}

TEST(RedirectPathTo32BitView, RewritesMachineSoftwareAndUserClassesOnly) {
  using Kind = ViewRedirect::Kind;
  const std::wstring user = L"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1000";
  const struct {
    std::wstring parent;
    std::optional<std::wstring> subpath;
    Kind kind;
    std::wstring path;
  } rows[] = {
      {L"\\REGISTRY\\MACHINE", L"Software\\Zor", Kind::Absolute, L"\\REGISTRY\\MACHINE\\Software\\Wow6432Node\\Zor"},
      {L"\\REGISTRY\\MACHINE", L"SOFTWARE", Kind::Absolute, L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node"},
      {L"\\REGISTRY\\MACHINE\\SOFTWARE", std::nullopt, Kind::Absolute, L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node"},
      {L"\\REGISTRY\\MACHINE\\SOFTWARE", L"", Kind::Absolute, L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node"},
      {user, L"Software\\Classes\\CLSID", Kind::Absolute, user + L"\\Software\\Classes\\Wow6432Node\\CLSID"},
      {user + L"\\Software\\Classes", std::nullopt, Kind::Absolute, user + L"\\Software\\Classes\\Wow6432Node"},
      {user + L"_Classes", L"CLSID\\{a}", Kind::Absolute, user + L"_Classes\\Wow6432Node\\CLSID\\{a}"},
      {user + L"_Classes", std::nullopt, Kind::Absolute, user + L"_Classes\\Wow6432Node"},
      {user, L"Software\\Microsoft", Kind::Unchanged, L""},
      {user, std::nullopt, Kind::Unchanged, L""},
      {L"\\REGISTRY\\USER", L"S-1-5-21-1", Kind::Unchanged, L""},
      {L"\\REGISTRY\\MACHINE", L"SYSTEM\\CurrentControlSet", Kind::Unchanged, L""},
      {L"\\REGISTRY\\MACHINE", L"SOFTWARE\\Wow6432Node\\Zor", Kind::Unchanged, L""},
      // The registry folds letter case, so does the test for the branch.
      {L"\\REGISTRY\\MACHINE", L"software\\WOW6432NODE\\Zor", Kind::Unchanged, L""},
      {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node\\Zor", std::nullopt, Kind::Unchanged, L""},
      {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node", L"Zor", Kind::Unchanged, L""},
      {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node", L"Wow6432Node", Kind::SubpathStripped, L""},
      {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node", L"Wow6432Node\\Zor", Kind::SubpathStripped, L"Zor"},
      {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node", L"Zor\\Wow6432Node\\A", Kind::SubpathStripped, L"Zor\\A"},
      // Names that only begin like the branch or a hive are other keys.
      {L"\\REGISTRY\\MACHINE", L"SOFTWARE\\Wow6432NodeX\\A", Kind::Absolute,
       L"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node\\Wow6432NodeX\\A"},
      {L"\\REGISTRY\\MACHINE", L"SOFTWARE2\\Zor", Kind::Unchanged, L""},
      {user, L"Software\\ClassesX", Kind::Unchanged, L""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.parent) + " + " + (row.subpath ? Narrow(*row.subpath) : std::string("(none)")));
    std::optional<std::wstring_view> subpath;
    if (row.subpath) subpath = *row.subpath;
    const ViewRedirect redirect = RedirectPathTo32BitView(row.parent, subpath, UpcaseAscii);
    EXPECT_EQ(redirect.kind, row.kind);
    EXPECT_EQ(Narrow(redirect.path), Narrow(row.path));
  }
}

TEST(RedirectPathTo32BitView, DecidesOnTheUpcaserText) {
  // An upcaser that knows a letter ASCII folding does not: the rule sees
  // "SOFTWARE" where the caller wrote a look-alike.
  const UpcaseText dotless = [](std::wstring_view text) {
    std::wstring upper = UpcaseAscii(text);
    for (wchar_t& c : upper) {
      if (c == L'\x17F') c = L'S';  // long s
    }
    return upper;
  };
  const ViewRedirect redirect = RedirectPathTo32BitView(L"\\REGISTRY\\MACHINE", std::wstring_view(L"\x17Foftware\\Zor"), dotless);
  EXPECT_EQ(redirect.kind, ViewRedirect::Kind::Absolute);
  EXPECT_EQ(redirect.path, L"\\REGISTRY\\MACHINE\\\x17Foftware\\Wow6432Node\\Zor");
  EXPECT_EQ(RedirectPathTo32BitView(L"\\REGISTRY\\MACHINE", std::wstring_view(L"\x17Foftware\\Zor"), UpcaseAscii).kind,
            ViewRedirect::Kind::Unchanged);
}

TEST(RelativeKeyPathFromName, MachineUserAndClassesHives) {
  const struct {
    std::wstring name;
    std::wstring path;
    bool isMachine;
  } rows[] = {
      {L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\CLSID", L"SOFTWARE\\Classes\\CLSID", true},
      {L"\\Registry\\Machine\\Software", L"Software", true},
      {L"\\REGISTRY\\MACHINE\\", L"", true},
      {L"\\REGISTRY\\USER\\S-1-5-21-7\\Software\\Classes\\X", L"Software\\Classes\\X", false},
      {L"\\REGISTRY\\USER\\S-1-5-21-7_Classes\\CLSID", L"SOFTWARE\\CLASSES\\CLSID", false},
      {L"\\REGISTRY\\USER\\S-1-5-21-7_classes\\CLSID\\{x}", L"SOFTWARE\\CLASSES\\CLSID\\{x}", false},
      {L"\\REGISTRY\\USER\\S-1-5-21-7_Classes", L"SOFTWARE\\CLASSES", false},
      {L"\\REGISTRY\\USER\\S-1-5-21-7", L"", false},
      {L"\\REGISTRY\\USER\\.DEFAULT\\Software", L"Software", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.name));
    RelativePath relative;
    ASSERT_EQ(RelativeKeyPathFromName(row.name, UpcaseAscii, relative), status::Success);
    EXPECT_EQ(Narrow(relative.path), Narrow(row.path));
    EXPECT_EQ(relative.isMachine, row.isMachine);
  }
}

TEST(RelativeKeyPathFromName, NamesOfSeventeenCharactersOrFewerFail) {
  for (const wchar_t* name : {L"", L"\\REGISTRY", L"\\REGISTRY\\USER", L"\\REGISTRY\\MACHINE", L"\\REGISTRY\\USER\\S1"}) {
    SCOPED_TRACE(Narrow(name));
    RelativePath relative{L"sentinel", true};
    EXPECT_EQ(static_cast<std::uint32_t>(RelativeKeyPathFromName(name, UpcaseAscii, relative)), 0xE0010002u);
    EXPECT_EQ(relative.path, L"sentinel");
    EXPECT_TRUE(relative.isMachine);
  }
}

TEST(CollapseDoubledViewNodes, KeepsOneNodeOfEachRun) {
  const struct {
    const wchar_t* subpath;
    const wchar_t* collapsed;
  } rows[] = {
      {L"SOFTWARE\\Wow6432Node\\Wow6432Node\\A", L"SOFTWARE\\Wow6432Node\\A"},
      {L"SOFTWARE\\Wow6432Node\\WOW6432NODE\\wow6432node\\A", L"SOFTWARE\\Wow6432Node\\A"},
      {L"Wow6432Node\\Wow6432Node", L"Wow6432Node"},
      {L"SOFTWARE\\Wow6432Node\\A\\Wow6432Node", L"SOFTWARE\\Wow6432Node\\A\\Wow6432Node"},
      {L"SOFTWARE\\Wow6432Node\\Wow6432NodeX", L"SOFTWARE\\Wow6432Node\\Wow6432NodeX"},
      {L"A", L"A"},
      {L"", L""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.subpath));
    EXPECT_EQ(Narrow(CollapseDoubledViewNodes(row.subpath, UpcaseAscii)), Narrow(row.collapsed));
  }
}

TEST(PrecedesInUtf16LeBytes, ComparesLittleEndianBytesThenLength) {
  const struct {
    std::wstring left;
    std::wstring right;
    bool precedes;
  } rows[] = {
      {L"A", L"a", true},
      {L"a", L"A", false},
      {L"ab", L"abc", true},
      {L"abc", L"ab", false},
      {L"x", L"x", false},
      // The low byte decides first: 0x0100 is 00 01, 0x00FF is FF 00.
      {L"\x0100", L"\x00FF", true},
      {L"\x00FF", L"\x0100", false},
      {L"\x0141", L"B", true},
      {L"\x0141", L"\x0241", true},
      {L"\x0241", L"\x0141", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.left) + " < " + Narrow(row.right));
    EXPECT_EQ(PrecedesInUtf16LeBytes(row.left, row.right), row.precedes);
  }
}

}  // namespace
}  // namespace zor
