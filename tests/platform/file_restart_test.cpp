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

using test::DeletionIsPending;
using test::PathExists;
using test::TestFolder;
using test::WriteTextFile;

TEST(FileRestart, APlannedDeletionIsRecordedAndCarriedOutAtTheNextStart) {
  TestFolder folder;
  const std::wstring file = folder / L"in use.dll";
  WriteTextFile(file, "x");
  std::uint32_t lastError = 0x5EA7;
  ASSERT_TRUE(PlanDeleteAfterRestart(file, lastError));
  EXPECT_EQ(lastError, 0x5EA7u);
  EXPECT_TRUE(DeletionIsPending(file));
  EXPECT_TRUE(PathExists(file));

  const test::ChildResult restart = test::RunChild(L"wineboot.exe -r", 120000);
  ASSERT_TRUE(restart.started);
  ASSERT_FALSE(restart.timedOut);
  EXPECT_FALSE(PathExists(file));
  EXPECT_FALSE(DeletionIsPending(file));
}

}  // namespace
}  // namespace zor
