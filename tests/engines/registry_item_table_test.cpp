// The rules of the registry item table: how many rows of each kind in each
// view, force for every key, the one list edit, and the views paired.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>

#include "app/unfinished_run.h"
#include "engines/registry_item_table.h"
#include "tests/support/narrow_text.h"

namespace zor {
namespace {

using test::Narrow;

std::string Describe(const RegistryItem& item) {
  return Narrow(item.KeyPath) + ":" + Narrow(item.ValueName) + " parent " + std::to_string(item.RegistryParent) +
         " view " + std::to_string(static_cast<std::int32_t>(item.ViewMode)) + " actions " +
         std::to_string(item.Actions);
}

bool SameRowOtherView(const RegistryItem& a, const RegistryItem& b) {
  return a.RegistryParent == b.RegistryParent && a.Actions == b.Actions && a.KeyPath == b.KeyPath &&
         a.ValueName == b.ValueName;
}

TEST(RegistryItemTable, HoldsTheRowsOfEachKindInEachView) {
  const std::span<const RegistryItem> table = RegistryItemTable();
  ASSERT_EQ(table.size(), 244u);
  const struct {
    std::int32_t parent;
    std::uint8_t actions;
    int perView[3];
  } kinds[] = {
      {0, 0x02, {114, 38, 21}}, {0, 0x04, {1, 11, 3}}, {0, 0x08, {1, 0, 0}},
      {1, 0x02, {2, 8, 3}},     {1, 0x04, {0, 2, 0}},  {2, 0x02, {33, 4, 3}},
  };
  int counted = 0;
  for (const auto& kind : kinds) {
    for (std::int32_t view = 0; view < 3; ++view) {
      SCOPED_TRACE(::testing::Message() << "parent " << kind.parent << " actions " << int(kind.actions) << " view "
                                        << view);
      const auto rows = std::count_if(table.begin(), table.end(), [&](const RegistryItem& item) {
        return item.RegistryParent == kind.parent && item.Actions == kind.actions &&
               static_cast<std::int32_t>(item.ViewMode) == view;
      });
      EXPECT_EQ(rows, kind.perView[view]);
      counted += static_cast<int>(rows);
    }
  }
  // Nothing outside the kinds above.
  EXPECT_EQ(counted, 244);
}

TEST(RegistryItemTable, EveryKeyRowForcesAndEveryValueRowNamesItsValue) {
  for (const RegistryItem& item : RegistryItemTable()) {
    SCOPED_TRACE(Describe(item));
    EXPECT_EQ(item.Actions & ActionKeyRemove, 0);
    const bool keyRow = (item.Actions & (ActionKeyRemove | ActionKeyForceRemove)) != 0;
    if (keyRow) {
      EXPECT_EQ(item.Actions, ActionKeyForceRemove);
      EXPECT_TRUE(item.ValueName.empty());
    } else {
      EXPECT_TRUE(item.Actions == ActionValueRemove || item.Actions == ActionValueModify);
      EXPECT_FALSE(item.ValueName.empty());
    }
    ASSERT_FALSE(item.KeyPath.empty());
    EXPECT_NE(item.KeyPath.front(), L'\\');
    EXPECT_NE(item.KeyPath.back(), L'\\');
    EXPECT_EQ(item.KeyPath.find(L"\\\\"), std::wstring_view::npos);
  }
}

TEST(RegistryItemTable, TheOnlyModifiedValueIsTheAppInitList) {
  std::vector<RegistryItem> modified;
  for (const RegistryItem& item : RegistryItemTable()) {
    if (item.Actions & ActionValueModify) modified.push_back(item);
  }
  ASSERT_EQ(modified.size(), 1u);
  EXPECT_EQ(modified[0].KeyPath, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows");
  EXPECT_EQ(modified[0].ValueName, L"AppInit_DLLs");
  EXPECT_EQ(modified[0].RegistryParent, ParentLocalMachine);
  EXPECT_EQ(modified[0].ViewMode, RegistryRowView::Default);
  EXPECT_EQ(modified[0].Actions, ActionValueModify);
}

// What a 64-bit component registers, its 32-bit sibling registers too.
TEST(RegistryItemTable, EveryRowOfTheSixtyFourBitViewHasItsThirtyTwoBitTwin) {
  const std::span<const RegistryItem> table = RegistryItemTable();
  int pairs = 0;
  for (const RegistryItem& item : table) {
    if (item.ViewMode != RegistryRowView::View64) continue;
    SCOPED_TRACE(Describe(item));
    const bool twin = std::any_of(table.begin(), table.end(), [&](const RegistryItem& other) {
      return other.ViewMode == RegistryRowView::View32 && SameRowOtherView(item, other);
    });
    EXPECT_TRUE(twin);
    ++pairs;
  }
  EXPECT_EQ(pairs, 21 + 3 + 3 + 3);
}

TEST(RegistryItemTable, NoRowIsRepeated) {
  std::set<std::tuple<std::wstring, std::wstring, std::int32_t, std::int32_t>> seen;
  for (const RegistryItem& item : RegistryItemTable()) {
    SCOPED_TRACE(Describe(item));
    // Keys compare without letter case, as the registry does.
    std::wstring key(item.KeyPath);
    for (wchar_t& c : key) c = (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
    EXPECT_TRUE(
        seen.emplace(key, std::wstring(item.ValueName), item.RegistryParent, static_cast<std::int32_t>(item.ViewMode))
            .second);
  }
}

// The remover's record of an unfinished run must outlive the registry stage
// that deletes the keys naming the product's folders: no row of the
// machine's names the record's key or a key above it, in any view.
TEST(RegistryItemTable, NoRowReachesTheRemoversOwnRecord) {
  auto upper = [](std::wstring_view text) {
    std::wstring result(text);
    for (wchar_t& c : result) c = (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
    return result;
  };
  const std::wstring record = upper(kUnfinishedRunKey);
  int machineRows = 0;
  for (const RegistryItem& item : RegistryItemTable()) {
    if (item.RegistryParent != ParentLocalMachine) continue;
    SCOPED_TRACE(Describe(item));
    const std::wstring key = upper(item.KeyPath);
    EXPECT_NE(key, record);
    EXPECT_FALSE(record.starts_with(key + L"\\"));
    ++machineRows;
  }
  EXPECT_EQ(machineRows, 114 + 38 + 21 + 1 + 11 + 3 + 1);
}

// The current control set is a link to one of the numbered ones, and the
// other one becomes current after a failed start: a service key named in
// one is named in all three.
TEST(RegistryItemTable, EveryServiceKeyIsNamedInAllThreeControlSets) {
  const std::span<const RegistryItem> table = RegistryItemTable();
  const std::wstring_view sets[] = {L"SYSTEM\\CurrentControlSet\\Services\\", L"SYSTEM\\ControlSet001\\Services\\",
                                    L"SYSTEM\\ControlSet002\\Services\\"};
  auto named = [&](const std::wstring& path) {
    return std::any_of(table.begin(), table.end(), [&](const RegistryItem& item) {
      return item.KeyPath == path && item.Actions == ActionKeyForceRemove && item.RegistryParent == ParentLocalMachine;
    });
  };
  int services = 0;
  for (const RegistryItem& item : table) {
    for (std::wstring_view set : sets) {
      if (item.Actions != ActionKeyForceRemove || !item.KeyPath.starts_with(set)) continue;
      const std::wstring_view service = item.KeyPath.substr(set.size());
      // Event log sources live in the current control set's EventLog key.
      if (service.find(L'\\') != std::wstring_view::npos) continue;
      SCOPED_TRACE(Describe(item));
      for (std::wstring_view other : sets) EXPECT_TRUE(named(std::wstring(other) + std::wstring(service)));
      ++services;
    }
  }
  EXPECT_GT(services, 0);
  EXPECT_EQ(services % 3, 0);
}

}  // namespace
}  // namespace zor
