// Taking the product's library out of "AppInit_DLLs" and its programs out of
// "BootExecute", as text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engines/registry_list_edits.h"

namespace zor {
namespace {

using List = std::vector<std::wstring>;

std::string Narrow(std::wstring_view text) {
  std::string narrow;
  for (wchar_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

TEST(LibraryList, SplitsAtCommasAndSpacesOnly) {
  const struct {
    const wchar_t* text;
    List libraries;
  } rows[] = {
      {L"", {}},
      {L" , ,,", {}},
      {L"a.dll", {L"a.dll"}},
      {L"zorrssta.dll other.dll,third.dll", {L"zorrssta.dll", L"other.dll", L"third.dll"}},
      {L"  a.dll ,, b.dll,", {L"a.dll", L"b.dll"}},
      // Tabs and quotes are part of a name: nothing else is trimmed.
      {L"a.dll\tb.dll", {L"a.dll\tb.dll"}},
      {L"\"c:\\x\\a.dll\",b.dll", {L"\"c:\\x\\a.dll\"", L"b.dll"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.text));
    List libraries = {L"sentinel"};
    ASSERT_EQ(SplitLibraryList(row.text, libraries), status::Success);
    EXPECT_EQ(libraries, row.libraries);
  }
}

TEST(LibraryList, TakesOutTheFirstEqualNameOnlyAndJoinsWithCommas) {
  const struct {
    const wchar_t* text;
    const wchar_t* name;
    bool taken;
    const wchar_t* joined;
  } rows[] = {
      {L"zorrssta.dll other.dll,third.dll", L"zorrssta.dll", true, L"other.dll,third.dll"},
      {L"zorrssta.dll", L"zorrssta.dll", true, L""},
      {L"zorrsstx.dll", L"zorrssta.dll", false, L"zorrsstx.dll"},
      {L"a.dll, zorrssta.dll, zorrssta.dll", L"zorrssta.dll", true, L"a.dll,zorrssta.dll"},
      {L"zorrssta.dll zorrsstx.dll", L"zorrsstx.dll", true, L"zorrssta.dll"},
      // Names compare exactly: another case or a path is another library.
      {L"ZORRSSTA.DLL", L"zorrssta.dll", false, L"ZORRSSTA.DLL"},
      {L"c:\\zor\\zorrssta.dll", L"zorrssta.dll", false, L"c:\\zor\\zorrssta.dll"},
      {L"a.dll b.dll", L"", false, L"a.dll,b.dll"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.text) + " - " + Narrow(row.name));
    List libraries;
    ASSERT_EQ(SplitLibraryList(row.text, libraries), status::Success);
    EXPECT_EQ(TakeOutFirstLibrary(libraries, row.name), row.taken);
    EXPECT_EQ(JoinLibraryList(libraries), row.joined);
  }
}

TEST(BootExecuteEntries, DropsEntriesNamingTheProgramFolderInEitherForm) {
  const std::wstring longForm = L"c:\\program files (x86)\\zor\\zor10";
  const std::wstring shortForm = L"c:\\progra~2\\zor\\zor10";
  const struct {
    const char* label;
    List entries;
    List kept;
    List dropped;
  } rows[] = {
      {"standard entry and a long-form product entry",
       {L"autocheck autochk *", L"zorbtchk c:\\program files (x86)\\zor\\zor10\\drivers\\zorbtchk.dat"},
       {L"autocheck autochk *"},
       {L"zorbtchk c:\\program files (x86)\\zor\\zor10\\drivers\\zorbtchk.dat"}},
      {"short-form product entry between others, order kept",
       {L"first", L"zorbtchk c:\\progra~2\\zor\\zor10\\drivers\\zorbtchk.dat", L"autocheck autochk *"},
       {L"first", L"autocheck autochk *"},
       {L"zorbtchk c:\\progra~2\\zor\\zor10\\drivers\\zorbtchk.dat"}},
      {"every entry the product's",
       {L"zorbtchk c:\\program files (x86)\\zor\\zor10\\a.dat", L"zorbtchk c:\\progra~2\\zor\\zor10\\b.dat"},
       {},
       {L"zorbtchk c:\\program files (x86)\\zor\\zor10\\a.dat", L"zorbtchk c:\\progra~2\\zor\\zor10\\b.dat"}},
      {"a sibling folder is not the program folder",
       {L"tool c:\\program files (x86)\\zor\\zor9\\x.dat"},
       {L"tool c:\\program files (x86)\\zor\\zor9\\x.dat"},
       {}},
      {"nothing at all", {}, {}, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const BootExecuteSorting sorting = SortBootExecuteEntries(row.entries, longForm, shortForm);
    EXPECT_EQ(sorting.kept, row.kept);
    EXPECT_EQ(sorting.dropped, row.dropped);
  }
}

TEST(BootExecuteEntries, AnEmptyFolderFormNamesNoEntry) {
  const List entries = {L"autocheck autochk *", L"zorbtchk c:\\zor\\x.dat"};
  const BootExecuteSorting none = SortBootExecuteEntries(entries, L"", L"");
  EXPECT_EQ(none.kept, entries);
  EXPECT_TRUE(none.dropped.empty());
  const BootExecuteSorting longOnly = SortBootExecuteEntries(entries, L"c:\\zor", L"");
  EXPECT_EQ(longOnly.kept, List{L"autocheck autochk *"});
  EXPECT_EQ(longOnly.dropped, List{L"zorbtchk c:\\zor\\x.dat"});
}

}  // namespace
}  // namespace zor
