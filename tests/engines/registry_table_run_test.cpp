// The registry stage with its built-in table, on a machine where every row's
// key or value exists in its view. It removes the product's real keys, so it
// runs in a prefix of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/run_context.h"
#include "app/unfinished_run.h"
#include "engines/registry_item_table.h"
#include "engines/registry_remover.h"
#include "engines/stage_engines.h"
#include "platform/native_types.h"
#include "tests/engines/engine_log.h"
#include "tests/platform/registry_test_support.h"

namespace zor {
namespace {

using test::KeyPresent;
using test::Narrow;
using Lines = std::vector<std::string>;

constexpr wchar_t kProgramFolder[] = L"C:\\Program Files (x86)\\ZOR\\ZOR10";
// Other software's entries in the shared lists, which must come back as
// they were written.
constexpr wchar_t kOtherLibraries[] = L" OVHook64.dll,ZORRSSTA.DLL  Other.dll ";
constexpr wchar_t kOtherLibrariesKept[] = L" OVHook64.dll,Other.dll ";
constexpr wchar_t kOtherBootEntry[] = L"OtherVendorChk \\??\\C:\\Program Files\\Other Vendor\\OVChk.exe /Scan";
constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kNeighbour[] = L"ZorTestNeighbour";

// Where a row lives for the documented registry calls.
struct Place {
  HKEY root;
  std::wstring path;
  REGSAM flags;
};

Place PlaceOf(const RegistryItem& item) {
  const REGSAM flags = item.ViewMode == RegistryRowView::View32   ? KEY_WOW64_32KEY
                       : item.ViewMode == RegistryRowView::View64 ? KEY_WOW64_64KEY
                                                                  : 0;
  switch (item.RegistryParent) {
    case ParentCurrentUser:
      return {HKEY_CURRENT_USER, std::wstring(item.KeyPath), flags};
    case ParentClassesRoot:
      return {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\" + std::wstring(item.KeyPath), flags};
    default:
      return {HKEY_LOCAL_MACHINE, std::wstring(item.KeyPath), flags};
  }
}

bool IsKeyRow(const RegistryItem& item) { return (item.Actions & (ActionKeyRemove | ActionKeyForceRemove)) != 0; }

bool ValuePresent(const Place& place, const std::wstring& name) {
  DWORD type = 0;
  std::vector<std::uint8_t> data;
  return test::ReadValue(place.root, place.path, name, type, data, place.flags);
}

bool WriteBootExecute(const std::vector<std::wstring>& list) {
  std::wstring data;
  for (const std::wstring& entry : list) data += entry + L'\0';
  data += L'\0';
  return test::WriteValue(HKEY_LOCAL_MACHINE, kSessionManager, L"BootExecute", REG_MULTI_SZ, data.data(),
                          static_cast<DWORD>(data.size() * 2));
}

std::vector<std::wstring> ReadBootExecute() {
  DWORD type = 0;
  std::vector<std::uint8_t> data;
  if (!test::ReadValue(HKEY_LOCAL_MACHINE, kSessionManager, L"BootExecute", type, data) || type != REG_MULTI_SZ) {
    return {L"(unreadable)"};
  }
  std::vector<std::wstring> list;
  const std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2);
  for (std::size_t start = 0; start < text.size() && text[start] != L'\0';) {
    const std::size_t end = text.find(L'\0', start);
    list.push_back(text.substr(start, end - start));
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return list;
}

std::size_t CountStartingWith(const Lines& lines, const std::string& start) {
  return static_cast<std::size_t>(
      std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.starts_with(start); }));
}

std::size_t CountEndingWith(const Lines& lines, const std::string& end) {
  return static_cast<std::size_t>(
      std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.ends_with(end); }));
}

TEST(RegistryBuiltInTable, TheStageLeavesNoRowBehindAndNothingElseGoes) {
  const std::span<const RegistryItem> table = RegistryItemTable();
  for (const RegistryItem& item : table) {
    SCOPED_TRACE(Narrow(std::wstring(item.KeyPath)) + ":" + Narrow(std::wstring(item.ValueName)));
    const Place place = PlaceOf(item);
    if (IsKeyRow(item)) {
      ASSERT_TRUE(test::WriteString(place.root, place.path + L"\\Sub", L"V", L"x", place.flags));
    } else if (item.Actions & ActionValueModify) {
      ASSERT_TRUE(
          test::WriteString(place.root, place.path, std::wstring(item.ValueName), kOtherLibraries, place.flags));
    } else {
      ASSERT_TRUE(test::WriteString(place.root, place.path, std::wstring(item.ValueName), L"x", place.flags));
      ASSERT_TRUE(test::WriteString(place.root, place.path, kNeighbour, L"stays", place.flags));
    }
  }
  // A user's own registration of a class goes with the machine's.
  ASSERT_TRUE(test::MakeKey(HKEY_CURRENT_USER, L"Software\\Classes\\.zqr"));
  // Keys that only look like the product's stay.
  const Place neighbours[] = {
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\ZorNeighbour", KEY_WOW64_32KEY},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\ZorNeighbour", KEY_WOW64_64KEY},
      {HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\ZorSvcNeighbour", 0},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\CLSID\\{00000000-0000-0000-0000-00000000000A}", KEY_WOW64_32KEY},
      {HKEY_CURRENT_USER, L"Software\\ZorNeighbour", 0},
      // The remover's own record of this run, which the file stage still needs.
      {HKEY_LOCAL_MACHINE, std::wstring(kUnfinishedRunKey), KEY_WOW64_64KEY},
  };
  for (const Place& place : neighbours) ASSERT_TRUE(test::MakeKey(place.root, place.path, place.flags));
  ASSERT_TRUE(CreateDirectoryW(L"C:\\Program Files (x86)\\ZOR", nullptr));
  ASSERT_TRUE(CreateDirectoryW(kProgramFolder, nullptr));
  ASSERT_TRUE(WriteBootExecute({L"autocheck autochk *", std::wstring(L"zorbtchk ") + kProgramFolder +
                                L"\\Drivers\\zorbtchk.dat", kOtherBootEntry}));

  test::EngineLog log;
  RunContext context;
  BindStageEngines(context);
  context.logger = log.logger();
  context.parameters.ZorDir = kProgramFolder;
  context.parameters.Is64BitSystem = true;
  ASSERT_NE(context.engines.registry, nullptr);
  const StatusRecord result = context.engines.registry->RunStage();
  EXPECT_TRUE(result.Empty()) << std::hex << static_cast<std::uint32_t>(result.Code());

  const Lines first = log.TakeLines();
  EXPECT_EQ(CountStartingWith(first, "INFO Processing registry "), table.size());
  EXPECT_EQ(CountStartingWith(first, "WARN "), 0u) << test::Joined(first);
  EXPECT_EQ(CountStartingWith(first, "ERROR "), 0u) << test::Joined(first);
  for (const RegistryItem& item : table) {
    SCOPED_TRACE(Narrow(std::wstring(item.KeyPath)) + ":" + Narrow(std::wstring(item.ValueName)));
    const Place place = PlaceOf(item);
    if (IsKeyRow(item)) {
      EXPECT_FALSE(KeyPresent(place.root, place.path, place.flags));
    } else if (item.Actions & ActionValueModify) {
      EXPECT_EQ(test::ReadString(place.root, place.path, std::wstring(item.ValueName), place.flags),
                kOtherLibrariesKept);
    } else {
      EXPECT_FALSE(ValuePresent(place, std::wstring(item.ValueName)));
      EXPECT_TRUE(ValuePresent(place, kNeighbour));
    }
  }
  EXPECT_FALSE(KeyPresent(HKEY_CURRENT_USER, L"Software\\Classes\\.zqr"));
  for (const Place& place : neighbours) {
    SCOPED_TRACE(Narrow(place.path));
    EXPECT_TRUE(KeyPresent(place.root, place.path, place.flags));
  }
  EXPECT_EQ(ReadBootExecute(), (std::vector<std::wstring>{L"autocheck autochk *", kOtherBootEntry}));

  // The run after the restart finds nothing left and says so quietly.
  EXPECT_TRUE(context.engines.registry->RunStage().Empty());
  const Lines second = log.TakeLines();
  const auto keyRows = static_cast<std::size_t>(std::count_if(table.begin(), table.end(), IsKeyRow));
  EXPECT_EQ(CountEndingWith(second, " not found"), keyRows);
  EXPECT_EQ(CountEndingWith(second, " is not present"), table.size() - keyRows - 1);
  EXPECT_EQ(CountStartingWith(second, "WARN "), 0u);
  EXPECT_EQ(CountStartingWith(second, "DEBUG Found value "), 0u);
  context.logger = nullptr;
  RemoveDirectoryW(kProgramFolder);
  RemoveDirectoryW(L"C:\\Program Files (x86)\\ZOR");
}

}  // namespace
}  // namespace zor
