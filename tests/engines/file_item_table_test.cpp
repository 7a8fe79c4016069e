// The rules the file item table must keep, whatever its names: how many
// rows of each kind, nested folders deepest first, the redirection byte,
// masks only where files are matched, and paths that stay inside their
// folder. Each rule is a checker that lists what breaks it; the checkers
// are shown to catch a broken table before they pass the real one.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engines/file_item_table.h"
#include "tests/support/line_checks.h"
#include "tests/support/narrow_text.h"

namespace zor {
namespace {

using test::HasLine;
using test::Joined;

using test::Narrow;

std::wstring_view PathOf(const FileItem& item) { return item.relativePath ? item.relativePath : L""; }

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring Folded(std::wstring_view text) {
  std::wstring folded;
  for (wchar_t c : text) folded += (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : (c == L'/' ? L'\\' : c);
  return folded;
}

// `inner` lies below `outer` (an empty outer path is the folder itself).
bool IsBelow(std::wstring_view inner, std::wstring_view outer) {
  const std::wstring a = Folded(inner);
  const std::wstring b = Folded(outer);
  if (b.empty()) return !a.empty();
  return a.size() > b.size() + 1 && a.compare(0, b.size(), b) == 0 && a[b.size()] == L'\\';
}

bool RemovesFolder(const FileItem& item) {
  return (item.actions & (ActionRemoveFolder | ActionEmptyAndRemoveFolder | ActionRemoveTree)) != 0;
}

std::string RowText(std::size_t number, const FileItem& item) {
  return "row " + std::to_string(number) + " (" + std::to_string(static_cast<int>(item.parentDir)) + ", '" + Narrow(PathOf(item)) + "')";
}

using Violations = std::vector<std::string>;

// A folder row comes after every row that works below that folder.
Violations DeepestFirstViolations(std::span<const FileItem> table) {
  Violations found;
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (!RemovesFolder(table[i])) continue;
    for (std::size_t j = i + 1; j < table.size(); ++j) {
      if (table[j].parentDir == table[i].parentDir && IsBelow(PathOf(table[j]), PathOf(table[i]))) {
        found.push_back(RowText(j, table[j]) + " comes after its folder's " + RowText(i, table[i]));
      }
    }
  }
  return found;
}

bool RedirectionLeftAsItIs(const FileItem& item) {
  return item.parentDir == RunFolder::System32Dir || item.parentDir == RunFolder::SysWow64Dir || item.parentDir == RunFolder::DriversDir ||
         (item.parentDir == RunFolder::ZorDir && PathOf(item).empty() && RemovesFolder(item));
}

Violations RedirectViolations(std::span<const FileItem> table) {
  Violations found;
  for (std::size_t i = 0; i < table.size(); ++i) {
    const Redirection expected = RedirectionLeftAsItIs(table[i]) ? Redirection::LeftAsIs : Redirection::On;
    if (table[i].redirect != expected) {
      found.push_back(RowText(i, table[i]) + " has redirect " + std::to_string(static_cast<int>(table[i].redirect)));
    }
  }
  return found;
}

// A path names a place below its folder: no root of its own, no "." or
// ".." component, no empty component, no wildcard.
Violations PathViolations(std::span<const FileItem> table) {
  Violations found;
  for (std::size_t i = 0; i < table.size(); ++i) {
    const std::wstring_view path = PathOf(table[i]);
    if (path.empty()) continue;
    bool bad = IsSeparator(path.front()) || IsSeparator(path.back()) || path.find(L':') != std::wstring_view::npos ||
               path.find_first_of(L"*?<>\"|") != std::wstring_view::npos;
    std::size_t start = 0;
    while (!bad && start <= path.size()) {
      std::size_t end = start;
      while (end < path.size() && !IsSeparator(path[end])) ++end;
      const std::wstring_view component = path.substr(start, end - start);
      bad = component.empty() || component == L"." || component == L"..";
      start = end + 1;
    }
    if (bad) found.push_back(RowText(i, table[i]) + " leaves its folder or is malformed");
  }
  return found;
}

// Every row has exactly one of the actions the stage knows; a mask exactly
// where files are matched; no special action (nothing of this product
// needs code of its own); a folder number the stage knows.
Violations ShapeViolations(std::span<const FileItem> table) {
  Violations found;
  constexpr std::uint8_t kKnown = ActionRemoveFolder | ActionEmptyAndRemoveFolder | ActionDeleteFile |
                                  ActionReportSpecial | ActionDeleteMatching | ActionRunSpecial | ActionRemoveTree;
  for (std::size_t i = 0; i < table.size(); ++i) {
    const FileItem& item = table[i];
    const std::uint8_t actions = item.actions;
    if (actions == 0 || (actions & ~kKnown) != 0 || (actions & (actions - 1)) != 0) {
      found.push_back(RowText(i, item) + " has actions " + std::to_string(actions));
    }
    const bool matches = (actions & ActionDeleteMatching) != 0;
    const bool hasMask = item.mask != nullptr && item.mask[0] != L'\0';
    if (matches != hasMask) found.push_back(RowText(i, item) + (matches ? " matches without a mask" : " has a stray mask"));
    if ((actions & ActionDeleteFile) && PathOf(item).empty()) found.push_back(RowText(i, item) + " deletes no file");
    if (item.specialAction != 0 || (actions & (ActionRunSpecial | ActionReportSpecial))) {
      found.push_back(RowText(i, item) + " asks for a special action");
    }
    if (const auto number = static_cast<std::int32_t>(item.parentDir); number < 0 || number >= kRunFolderCount) found.push_back(RowText(i, item) + " has no folder");
  }
  return found;
}

Violations DuplicateViolations(std::span<const FileItem> table) {
  Violations found;
  std::map<std::pair<RunFolder, std::wstring>, std::size_t> seen;
  for (std::size_t i = 0; i < table.size(); ++i) {
    const std::wstring key = Folded(PathOf(table[i])) + L"|" + Folded(table[i].mask ? table[i].mask : L"") + L"|" +
                             std::to_wstring(table[i].actions);
    const auto [at, inserted] = seen.emplace(std::make_pair(table[i].parentDir, key), i);
    if (!inserted) found.push_back(RowText(i, table[i]) + " repeats row " + std::to_string(at->second));
  }
  return found;
}

TEST(FileItemTable, HoldsTheRowsOfEachKind) {
  struct Kind {
    RunFolder parent;
    std::uint8_t action;
    int rows;
  };
  const Kind kinds[] = {
      {RunFolder::ZorDir, ActionDeleteMatching, 28},       {RunFolder::ZorDir, ActionEmptyAndRemoveFolder, 97},
      {RunFolder::ZorDir, ActionRemoveTree, 6},            {RunFolder::ZorDataDir, ActionEmptyAndRemoveFolder, 44},
      {RunFolder::ZorDataDir, ActionRemoveTree, 8},        {RunFolder::ZorDataDir, ActionRemoveFolder, 1},
      {RunFolder::CommonAppDataDir, ActionEmptyAndRemoveFolder, 5}, {RunFolder::CommonAppDataDir, ActionRemoveTree, 3},
      {RunFolder::AppDataDir, ActionEmptyAndRemoveFolder, 1},       {RunFolder::System32Dir, ActionDeleteMatching, 1},
      {RunFolder::SysWow64Dir, ActionEmptyAndRemoveFolder, 1},      {RunFolder::DriversDir, ActionDeleteMatching, 8},
      {RunFolder::DriversDir, ActionEmptyAndRemoveFolder, 1},       {RunFolder::CommonDesktopDir, ActionDeleteFile, 9},
      {RunFolder::CommonProgramsDir, ActionEmptyAndRemoveFolder, 9}, {RunFolder::ProgramFilesDir, ActionRemoveTree, 1},
      {RunFolder::ProgramFilesX86Dir, ActionRemoveTree, 1},         {RunFolder::ZorAdminDir, ActionEmptyAndRemoveFolder, 3},
      {RunFolder::ZorAdminDir, ActionRemoveTree, 3},                {RunFolder::ZorAdminDir, ActionRemoveFolder, 1},
  };
  std::map<std::pair<RunFolder, std::uint8_t>, int> counted;
  for (const FileItem& item : FileItemTable()) ++counted[{item.parentDir, item.actions}];
  std::map<std::pair<RunFolder, std::uint8_t>, int> expected;
  for (const Kind& kind : kinds) expected[{kind.parent, kind.action}] = kind.rows;
  EXPECT_EQ(counted, expected);
  EXPECT_EQ(FileItemTable().size(), 231u);
}

TEST(FileItemTable, NestedFoldersComeDeepestFirst) {
  const Violations found = DeepestFirstViolations(FileItemTable());
  EXPECT_TRUE(found.empty()) << Joined(found);
}

TEST(FileItemTable, EachProductFolderItselfIsItsLastRow) {
  const RunFolder parents[] = {RunFolder::ZorDir, RunFolder::ZorDataDir, RunFolder::ZorAdminDir};
  const std::span<const FileItem> table = FileItemTable();
  for (const RunFolder parent : parents) {
    SCOPED_TRACE(static_cast<int>(parent));
    std::size_t last = table.size();
    for (std::size_t i = 0; i < table.size(); ++i) {
      if (table[i].parentDir == parent) last = i;
    }
    ASSERT_LT(last, table.size());
    EXPECT_TRUE(PathOf(table[last]).empty());
    EXPECT_TRUE(RemovesFolder(table[last]));
  }
}

TEST(FileItemTable, RedirectionIsLeftAsItIsOnlyForSystemFoldersAndTheProgramFolder) {
  const Violations found = RedirectViolations(FileItemTable());
  EXPECT_TRUE(found.empty()) << Joined(found);
}

TEST(FileItemTable, PathsStayBelowTheirFolder) {
  const Violations found = PathViolations(FileItemTable());
  EXPECT_TRUE(found.empty()) << Joined(found);
}

TEST(FileItemTable, RowsHaveOneKnownActionAndMasksOnlyWhereFilesAreMatched) {
  const Violations found = ShapeViolations(FileItemTable());
  EXPECT_TRUE(found.empty()) << Joined(found);
}

TEST(FileItemTable, NoRowIsListedTwice) {
  const Violations found = DuplicateViolations(FileItemTable());
  EXPECT_TRUE(found.empty()) << Joined(found);
}

TEST(FileItemTable, TheProgramFolderMasksCoverAllLibrariesAndPrograms) {
  std::vector<std::wstring> masks;
  for (const FileItem& item : FileItemTable()) {
    if (item.parentDir == RunFolder::ZorDir && item.mask) masks.push_back(item.mask);
  }
  EXPECT_NE(std::find(masks.begin(), masks.end(), L"*.dll"), masks.end());
  EXPECT_NE(std::find(masks.begin(), masks.end(), L"*.exe"), masks.end());
}

TEST(FileItemTable, OnlyTheProgramDataAndAdministrationFoldersAreTheProducts) {
  for (std::int32_t parent = -1; parent <= kRunFolderCount; ++parent) {
    SCOPED_TRACE(parent);
    EXPECT_EQ(IsProductParent(static_cast<RunFolder>(parent)), parent == 0 || parent == 1 || parent == 11);
  }
}

// The checkers find what they are there to find.
TEST(FileItemTableRules, CatchABrokenTable) {
  const FileItem shallowFirst[] = {
      {RunFolder::ZorDir, L"Scripts", nullptr, Redirection::On, ActionEmptyAndRemoveFolder, 0},
      {RunFolder::ZorDir, L"scripts\\IM", nullptr, Redirection::On, ActionEmptyAndRemoveFolder, 0},
      {RunFolder::ZorDir, L"ScriptsOld", nullptr, Redirection::On, ActionEmptyAndRemoveFolder, 0},
      {RunFolder::ZorDir, nullptr, nullptr, Redirection::LeftAsIs, ActionEmptyAndRemoveFolder, 0},
      {RunFolder::ZorDir, L"Late", nullptr, Redirection::On, ActionEmptyAndRemoveFolder, 0},
      {RunFolder::ZorDataDir, L"Scripts\\IM", nullptr, Redirection::On, ActionEmptyAndRemoveFolder, 0},
  };
  EXPECT_EQ(DeepestFirstViolations(shallowFirst).size(), 2u) << Joined(DeepestFirstViolations(shallowFirst));

  const FileItem wrongRedirect[] = {
      {RunFolder::System32Dir, nullptr, L"zor*.dll", Redirection::On, ActionDeleteMatching, 0},
      {RunFolder::ZorDir, nullptr, nullptr, Redirection::On, ActionEmptyAndRemoveFolder, 0},
      {RunFolder::ZorDataDir, L"Logs", nullptr, Redirection::LeftAsIs, ActionEmptyAndRemoveFolder, 0},
      {RunFolder::ZorDir, nullptr, L"*.dll", Redirection::On, ActionDeleteMatching, 0},
      {RunFolder::DriversDir, L"ZOR", nullptr, Redirection::LeftAsIs, ActionEmptyAndRemoveFolder, 0},
  };
  EXPECT_EQ(RedirectViolations(wrongRedirect).size(), 3u) << Joined(RedirectViolations(wrongRedirect));

  const FileItem escaping[] = {
      {RunFolder::ZorDir, L"..\\Other", nullptr, Redirection::On, ActionRemoveTree, 0},
      {RunFolder::ZorDir, L"\\Windows", nullptr, Redirection::On, ActionRemoveTree, 0},
      {RunFolder::ZorDir, L"C:\\Windows", nullptr, Redirection::On, ActionRemoveTree, 0},
      {RunFolder::ZorDir, L"a\\\\b", nullptr, Redirection::On, ActionRemoveTree, 0},
      {RunFolder::ZorDir, L"a\\.\\b", nullptr, Redirection::On, ActionRemoveTree, 0},
      {RunFolder::ZorDir, L"Logs\\", nullptr, Redirection::On, ActionRemoveTree, 0},
      {RunFolder::ZorDir, L"Lo*s", nullptr, Redirection::On, ActionRemoveTree, 0},
      {RunFolder::ZorDir, L"Logs\\Archive", nullptr, Redirection::On, ActionRemoveTree, 0},
  };
  EXPECT_EQ(PathViolations(escaping).size(), 7u) << Joined(PathViolations(escaping));

  const FileItem misshapen[] = {
      {RunFolder::ZorDir, nullptr, nullptr, Redirection::On, ActionDeleteMatching, 0},
      {RunFolder::ZorDir, L"Logs", L"*.log", Redirection::On, ActionEmptyAndRemoveFolder, 0},
      {RunFolder::ZorDir, L"Logs", nullptr, Redirection::On, ActionEmptyAndRemoveFolder | ActionRemoveTree, 0},
      {RunFolder::ZorDir, L"a.lnk", nullptr, Redirection::On, ActionReportSpecial, 3},
      {static_cast<RunFolder>(12), L"Logs", nullptr, Redirection::On, ActionRemoveTree, 0},
      {RunFolder::CommonDesktopDir, nullptr, nullptr, Redirection::On, ActionDeleteFile, 0},
      {RunFolder::ZorDir, nullptr, L"*.dll", Redirection::On, ActionDeleteMatching, 0},
  };
  EXPECT_EQ(ShapeViolations(misshapen).size(), 6u) << Joined(ShapeViolations(misshapen));

  const FileItem repeated[] = {
      {RunFolder::ZorDir, L"Logs", nullptr, Redirection::On, ActionEmptyAndRemoveFolder, 0},
      {RunFolder::ZorDir, L"LOGS", nullptr, Redirection::On, ActionEmptyAndRemoveFolder, 0},
      {RunFolder::ZorDataDir, L"Logs", nullptr, Redirection::On, ActionEmptyAndRemoveFolder, 0},
      {RunFolder::ZorDir, L"Logs", nullptr, Redirection::On, ActionRemoveTree, 0},
  };
  EXPECT_EQ(DuplicateViolations(repeated).size(), 1u) << Joined(DuplicateViolations(repeated));
}

}  // namespace
}  // namespace zor
