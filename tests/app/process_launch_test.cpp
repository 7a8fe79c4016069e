#include "app/separate_copy.h"
#include "platform/process_launch.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/native_types.h"
#include "tests/logging/logging_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/line_checks.h"

namespace zor {
namespace {

using test::Narrow;

std::wstring HoldFilePath() {
  std::wstring path = L"Z:" + test::Widen(ZOR_HOLD_FILE_PATH);
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

// The copy's mark reaches the child through its environment, and a marked
// process refuses to start a copy of its own.
TEST(SeparateCopy, TheMarkReachesTheChildAndACopyStartsNoCopy) {
  const std::wstring name(kSeparateCopyVariable);
  ASSERT_FALSE(IsSeparateCopy());
  std::int32_t exitCode = -1;
  const std::wstring probe = L"cmd.exe /c if defined " + name + L" (exit 7) else (exit 3)";
  ASSERT_EQ(LaunchCopyAndWait(probe, kNdisProcessWait, exitCode), status::Success);
  EXPECT_EQ(exitCode, 7);
  ASSERT_EQ(LaunchAndWait(probe, kNdisProcessWait, exitCode), status::Success);
  EXPECT_EQ(exitCode, 3);

  SetEnvironmentVariableW(name.c_str(), L"");
  EXPECT_TRUE(IsSeparateCopy()) << "an empty value still marks the copy";
  exitCode = 12345;
  EXPECT_EQ(RunNdisProcess(exitCode), status::CopyOfACopy);
  EXPECT_EQ(exitCode, 12345);
  SetEnvironmentVariableW(name.c_str(), nullptr);
  EXPECT_FALSE(IsSeparateCopy());
}

TEST(LaunchAndWait, AChildThatEndsWithinTheWaitGivesItsExitCode) {
  const struct {
    const wchar_t* command;
    std::int32_t exitCode;
  } rows[] = {
      {L"cmd.exe /c exit 4", 4},
      {L"cmd.exe /c exit 0", 0},
      // A child that ends with the value meaning "still active" cannot be
      // told from a running one; it gets a code of its own.
      {L"cmd.exe /c exit 259", static_cast<std::int32_t>(0xA001000A)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.command));
    std::int32_t exitCode = -7;
    EXPECT_EQ(LaunchAndWait(row.command, kNdisProcessWait, exitCode), status::Success);
    EXPECT_EQ(exitCode, row.exitCode);
  }
}

TEST(LaunchAndWait, AChildStillRunningAfterTheWaitTimesOutAndLeavesTheExitCodeAlone) {
  test::TestFolder folder;
  const std::wstring held = folder.File(L"held.txt");
  const std::wstring command = L"\"" + HoldFilePath() + L"\" 20 \"" + held + L"\"";
  std::int32_t exitCode = 42;
  EXPECT_EQ(LaunchAndWait(command, 2 * 10'000'000LL, exitCode), status::WaitTimedOut);
  EXPECT_EQ(exitCode, 42);
  // The child is left running: it still holds its file.
  const HANDLE file = CreateFileW(held.c_str(), DELETE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(file, INVALID_HANDLE_VALUE);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

TEST(LaunchProcess, AProgramThatDoesNotExistFailsWithTheConvertedError) {
  ProcessHolder holder;
  const StatusCode code = LaunchProcess(holder, {}, L"C:\\no-such-folder\\no-such-program.exe /x", 0, {});
  // Windows and Wine differ in which of the two errors they give.
  EXPECT_TRUE(code == StatusFromWin32Error(3, ERROR_PATH_NOT_FOUND) ||
              code == StatusFromWin32Error(3, ERROR_FILE_NOT_FOUND))
      << std::hex << code;
  EXPECT_FALSE(holder.process.valid());
  EXPECT_EQ(holder.processId, 0u);
}

TEST(LaunchProcess, TheHolderKeepsTheProcessAndTheApplicationNameWins) {
  ProcessHolder holder;
  // The command line's first word names no program; the application name
  // decides what runs.
  ASSERT_EQ(LaunchProcess(holder, L"C:\\windows\\system32\\cmd.exe", L"nothing.exe /c exit 9", 0, {}),
            status::Success);
  ASSERT_TRUE(holder.process.valid());
  EXPECT_NE(holder.processId, 0u);
  EXPECT_NE(holder.threadId, 0u);
  ASSERT_EQ(WaitForSingleObject(holder.process.get(), 30000), WAIT_OBJECT_0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(holder.process.get(), &code));
  EXPECT_EQ(code, 9u);
}

TEST(RunShellCommand, RunsTheCommandInterpreterAndGivesItsExitCode) {
  EXPECT_EQ(RunShellCommand(L"exit 3"), 3);
  test::TestFolder folder;
  const std::wstring made = folder.File(L"made by the shell.txt");
  EXPECT_EQ(RunShellCommand(L"echo x> \"" + made + L"\""), 0);
  EXPECT_TRUE(test::FileExistsAt(made));
}

}  // namespace
}  // namespace zor
