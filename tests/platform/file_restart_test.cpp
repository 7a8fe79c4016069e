// Deletion at the next start of Windows. Runs in a prefix of its own
// (file-fresh-prefix.sh): the simulated restart carries out every pending
// request of the prefix.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_operations.h"
#include "tests/platform/file_test_support.h"
#include "tests/support/child_process.h"

namespace zor {
namespace {

using test::PathExists;
using test::TestFolder;
using test::WriteTextFile;

// The strings of the Session Manager's pending file rename operations.
std::vector<std::wstring> PendingRenames() {
  std::vector<std::wstring> entries;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_QUERY_VALUE, &key) != 0) {
    return entries;
  }
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, nullptr, &bytes) == 0 && type == REG_MULTI_SZ) {
    std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 2, L'\0');
    RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes);
    const std::size_t units = bytes / sizeof(wchar_t);
    std::size_t at = 0;
    while (at < units) {
      std::wstring entry(data.data() + at);
      at += entry.size() + 1;
      entries.push_back(std::move(entry));
    }
  }
  RegCloseKey(key);
  return entries;
}

bool HasPendingDelete(const std::vector<std::wstring>& entries, const std::wstring& ntPath) {
  for (std::size_t at = 0; at + 1 < entries.size(); ++at) {
    if (entries[at] == ntPath && entries[at + 1].empty()) return true;
  }
  return false;
}

TEST(FileRestart, APlannedDeletionIsRecordedAndCarriedOutAtTheNextStart) {
  TestFolder folder;
  const std::wstring file = folder / L"in use.dll";
  WriteTextFile(file, "x");
  std::uint32_t lastError = 0x5EA7;
  ASSERT_TRUE(PlanDeleteAfterRestart(file, lastError));
  EXPECT_EQ(lastError, 0x5EA7u);
  EXPECT_TRUE(HasPendingDelete(PendingRenames(), L"\\??\\" + file));
  EXPECT_TRUE(PathExists(file));

  const test::ChildResult restart = test::RunChild(L"wineboot.exe -r", 120000);
  ASSERT_TRUE(restart.started);
  ASSERT_FALSE(restart.timedOut);
  EXPECT_FALSE(PathExists(file));
  EXPECT_FALSE(HasPendingDelete(PendingRenames(), L"\\??\\" + file));
}

}  // namespace
}  // namespace zor
