// Taking the product's library out of "AppInit_DLLs" and its programs out of
// "BootExecute", as text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engines/registry_list_edits.h"
#include "foundation/text_case.h"
#include "tests/support/narrow_text.h"

namespace zor {
namespace {

using List = std::vector<std::wstring>;

using test::Narrow;

TEST(LibraryList, SplitsIntoEntriesAndTheRunsBetweenThemAndJoinsBackUnchanged) {
  const struct {
    const wchar_t* text;
    const wchar_t* leading;
    List entries;
    List following;
  } rows[] = {
      {L"", L"", {}, {}},
      {L" , ,,", L" , ,,", {}, {}},
      {L"a.dll", L"", {L"a.dll"}, {L""}},
      {L"zorrssta.dll other.dll,third.dll", L"", {L"zorrssta.dll", L"other.dll", L"third.dll"}, {L" ", L",", L""}},
      {L"  a.dll ,, b.dll,", L"  ", {L"a.dll", L"b.dll"}, {L" ,, ", L","}},
      // Tabs are part of a name: nothing but commas and spaces parts entries.
      {L"a.dll\tb.dll", L"", {L"a.dll\tb.dll"}, {L""}},
      // Quotation marks hold a path with blanks or commas together.
      {L"\"c:\\x\\a.dll\",b.dll", L"", {L"\"c:\\x\\a.dll\"", L"b.dll"}, {L",", L""}},
      {L"a.dll \"C:\\Program Files (x86)\\Z, Y\\b.dll\" c.dll",
       L"",
       {L"a.dll", L"\"C:\\Program Files (x86)\\Z, Y\\b.dll\"", L"c.dll"},
       {L" ", L" ", L""}},
      {L"C:\\\"Program Files\"\\b.dll,c", L"", {L"C:\\\"Program Files\"\\b.dll", L"c"}, {L",", L""}},
      // A quotation mark that is never closed holds the rest of the text.
      {L"a.dll \"b.dll, c.dll", L"", {L"a.dll", L"\"b.dll, c.dll"}, {L" ", L""}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.text));
    LibraryList list;
    list.leading = L"sentinel";
    ASSERT_EQ(SplitLibraryList(row.text, list), status::Success);
    EXPECT_EQ(list.leading, row.leading);
    EXPECT_EQ(list.entries, row.entries);
    EXPECT_EQ(list.following, row.following);
    EXPECT_EQ(JoinLibraryList(list), row.text);
  }
}

TEST(LibraryList, AnEntryNamesTheLibraryByItsFileNameInAnyLetterCase) {
  const struct {
    const wchar_t* entry;
    bool names;
  } rows[] = {
      {L"zorrssta.dll", true},
      {L"ZORRSSTA.DLL", true},
      {L"ZorRssTa.Dll", true},
      {L"C:\\PROGRA~2\\ZOR\\ZOR10\\zorrssta.dll", true},
      {L"c:/progra~2/zor/zor10/ZORRSSTA.DLL", true},
      {L"\"C:\\Program Files (x86)\\ZOR\\ZOR10\\zorrssta.dll\"", true},
      {L"C:\\\"Program Files (x86)\"\\ZOR\\zorrssta.dll", true},
      {L"C:zorrssta.dll", true},
      {L"\\\\server\\share\\zorrssta.dll", true},
      // Another library, or the name as a folder or a part of a name.
      {L"zorrsstx.dll", false},
      {L"zorrssta.dll.bak", false},
      {L"xzorrssta.dll", false},
      {L"zorrssta", false},
      {L"C:\\zorrssta.dll\\other.dll", false},
      {L"C:\\ZOR\\zorrssta.dll\\", false},
      {L"zorrssta.dll\t", false},
      {L"\"\"", false},
      {L"", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.entry));
    EXPECT_EQ(NamesLibrary(row.entry, L"zorrssta.dll"), row.names);
  }
  EXPECT_FALSE(NamesLibrary(L"zorrssta.dll", L""));
  EXPECT_FALSE(NamesLibrary(L"", L""));
}

// The product's entries go, each with one run of separators beside it;
// everything else stays byte for byte.
TEST(LibraryList, TakesOutEveryProductEntryAndKeepsTheRestOfTheTextAsItWas) {
  const struct {
    const wchar_t* text;
    const wchar_t* name;
    std::size_t taken;
    const wchar_t* joined;
  } rows[] = {
      {L"zorrssta.dll other.dll,third.dll", L"zorrssta.dll", 1, L"other.dll,third.dll"},
      {L"  other.dll,zorrssta.dll  third.dll", L"zorrssta.dll", 1, L"  other.dll,third.dll"},
      {L"zorrssta.dll", L"zorrssta.dll", 1, L""},
      {L"ZORRSSTA.DLL", L"zorrssta.dll", 1, L""},
      {L"zorrsstx.dll", L"zorrssta.dll", 0, L"zorrsstx.dll"},
      {L"a.dll, zorrssta.dll, zorrssta.dll", L"zorrssta.dll", 2, L"a.dll"},
      {L"zorrssta.dll zorrsstx.dll", L"zorrsstx.dll", 1, L"zorrssta.dll"},
      {L"a.dll b.dll", L"", 0, L"a.dll b.dll"},
      // Every product entry, in any case and with or without a folder.
      {L"a.dll,ZORRSSTA.DLL b.dll,C:\\PROGRA~2\\ZOR\\ZOR10\\zorrssta.dll;x.dll", L"zorrssta.dll", 1,
       L"a.dll,b.dll,C:\\PROGRA~2\\ZOR\\ZOR10\\zorrssta.dll;x.dll"},
      {L"a.dll,ZORRSSTA.DLL b.dll,C:\\PROGRA~2\\ZOR\\ZOR10\\zorrssta.dll x.dll", L"zorrssta.dll", 2,
       L"a.dll,b.dll,x.dll"},
      {L"OVHook64.dll \"C:\\Program Files (x86)\\ZOR\\ZOR10\\zorrssta.dll\" Last.DLL", L"zorrssta.dll", 1,
       L"OVHook64.dll Last.DLL"},
      // Runs before the first entry and after the last one stay.
      {L" , zorrssta.dll,a.dll", L"zorrssta.dll", 1, L" , a.dll"},
      {L"a.dll ,zorrssta.dll, ", L"zorrssta.dll", 1, L"a.dll, "},
      {L"a.dll  , zorrssta.dll", L"zorrssta.dll", 1, L"a.dll"},
      {L"a.dll,,zorrssta.dll,,ZORRSSTA.DLL,,", L"zorrssta.dll", 2, L"a.dll,,"},
      // Two entries that stay keep the run that followed the first of them.
      {L"a.dll zorrssta.dll,,b.dll", L"zorrssta.dll", 1, L"a.dll b.dll"},
      {L"a.dll zorrssta.dll,zorrssta.dll  ZORRSSTA.DLL b.dll", L"zorrssta.dll", 3, L"a.dll b.dll"},
      // A semicolon parts nothing: the name is the whole piece after the folder.
      {L"a.dll;zorrssta.dll,b.dll", L"zorrssta.dll", 0, L"a.dll;zorrssta.dll,b.dll"},
      // Nothing of the other software stays: the separators go as well.
      {L"  zorrssta.dll , C:\\ZOR\\ZORRSSTA.DLL  ", L"zorrssta.dll", 2, L""},
      // An unclosed quotation mark makes one entry of the rest: it is not the
      // product's, and it stays as it was.
      {L"zorrssta.dll \"C:\\x\\a.dll, zorrssta.dll", L"zorrssta.dll", 1, L"\"C:\\x\\a.dll, zorrssta.dll"},
      {L" , ,", L"zorrssta.dll", 0, L" , ,"},
      {L"", L"zorrssta.dll", 0, L""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.text) + " - " + Narrow(row.name));
    LibraryList list;
    ASSERT_EQ(SplitLibraryList(row.text, list), status::Success);
    EXPECT_EQ(TakeOutLibrary(list, row.name), row.taken);
    EXPECT_EQ(JoinLibraryList(list), row.joined);
  }
}

TEST(LibraryList, AListNotCutBySplittingIsLeftAlone) {
  LibraryList list;
  list.entries = {L"a.dll", L"zorrssta.dll"};
  list.following = {L","};
  EXPECT_EQ(TakeOutLibrary(list, L"zorrssta.dll"), 0u);
  EXPECT_EQ(list.entries, (List{L"a.dll", L"zorrssta.dll"}));
  EXPECT_EQ(JoinLibraryList(list), L"a.dll,zorrssta.dll");
}

List Lowered(const List& entries) {
  List lowered;
  for (std::wstring entry : entries) {
    for (wchar_t& c : entry) c = FoldAsciiLetter(c);
    lowered.push_back(entry);
  }
  return lowered;
}

TEST(BootExecuteEntries, DropsEntriesNamingTheProgramFolderInEitherFormAndKeepsTheOthersAsStored) {
  const std::wstring longForm = L"c:\\program files (x86)\\zor\\zor10";
  const std::wstring shortForm = L"c:\\progra~2\\zor\\zor10";
  const std::wstring otherVendor = L"OtherVendorChk \\??\\C:\\Program Files\\Other Vendor\\OVChk.exe /Scan";
  const struct {
    const char* label;
    List entries;
    List kept;
    List dropped;
  } rows[] = {
      {"standard entry and a long-form product entry",
       {L"autocheck autochk *", L"zorbtchk C:\\Program Files (x86)\\ZOR\\ZOR10\\Drivers\\zorbtchk.dat"},
       {L"autocheck autochk *"},
       {L"zorbtchk c:\\program files (x86)\\zor\\zor10\\drivers\\zorbtchk.dat"}},
      {"another vendor's entry in mixed case stays as stored",
       {L"AutoCheck AutoChk *", otherVendor, L"ZorBtChk C:\\PROGRA~2\\ZOR\\ZOR10\\Drivers\\zorbtchk.dat"},
       {L"AutoCheck AutoChk *", otherVendor},
       {L"zorbtchk c:\\progra~2\\zor\\zor10\\drivers\\zorbtchk.dat"}},
      {"short-form product entry between others, order kept",
       {L"First", L"zorbtchk c:\\progra~2\\zor\\zor10\\drivers\\zorbtchk.dat", L"autocheck autochk *"},
       {L"First", L"autocheck autochk *"},
       {L"zorbtchk c:\\progra~2\\zor\\zor10\\drivers\\zorbtchk.dat"}},
      {"every entry the product's",
       {L"zorbtchk C:\\Program Files (x86)\\Zor\\Zor10\\a.dat", L"zorbtchk c:\\progra~2\\zor\\zor10\\b.dat"},
       {},
       {L"zorbtchk c:\\program files (x86)\\zor\\zor10\\a.dat", L"zorbtchk c:\\progra~2\\zor\\zor10\\b.dat"}},
      {"a sibling folder is not the program folder",
       {L"Tool C:\\Program Files (x86)\\ZOR\\ZOR9\\x.dat"},
       {L"Tool C:\\Program Files (x86)\\ZOR\\ZOR9\\x.dat"},
       {}},
      {"nothing at all", {}, {}, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const BootExecuteSorting sorting = SortBootExecuteEntries(row.entries, Lowered(row.entries), longForm, shortForm);
    EXPECT_EQ(sorting.kept, row.kept);
    EXPECT_EQ(sorting.dropped, row.dropped);
  }
}

TEST(BootExecuteEntries, AnEmptyFolderFormNamesNoEntry) {
  const List entries = {L"AutoCheck AutoChk *", L"ZorBtChk C:\\Zor\\x.dat"};
  const BootExecuteSorting none = SortBootExecuteEntries(entries, Lowered(entries), L"", L"");
  EXPECT_EQ(none.kept, entries);
  EXPECT_TRUE(none.dropped.empty());
  const BootExecuteSorting longOnly = SortBootExecuteEntries(entries, Lowered(entries), L"c:\\zor", L"");
  EXPECT_EQ(longOnly.kept, List{L"AutoCheck AutoChk *"});
  EXPECT_EQ(longOnly.dropped, List{L"zorbtchk c:\\zor\\x.dat"});
}

TEST(BootExecuteEntries, ListsThatDoNotPairUpAreKeptWhole) {
  const List entries = {L"autocheck autochk *", L"zorbtchk c:\\zor\\x.dat"};
  const BootExecuteSorting sorting = SortBootExecuteEntries(entries, {L"zorbtchk c:\\zor\\x.dat"}, L"c:\\zor", L"");
  EXPECT_EQ(sorting.kept, entries);
  EXPECT_TRUE(sorting.dropped.empty());
}

}  // namespace
}  // namespace zor
