#include "logging/rolling_file_appender.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "foundation/format_text.h"
#include "logging/log_status.h"
#include "tests/logging/logging_test_support.h"
#include "tests/support/child_process.h"

namespace zor {
namespace {

constexpr wchar_t kFileId[] = L"{C3A85F12-6E4B-4D09-8A7F-2B5D1E9C6F34}";

std::unique_ptr<LogManager> ManagerWith(const std::wstring& text, StatusCode expected = status::Success) {
  StatusCode result = status::GenericFailure;
  std::unique_ptr<LogManager> manager = LogManager::CreateSeparate(result);
  EXPECT_EQ(result, status::Success);
  if (manager) {
    EXPECT_EQ(manager->Configure(text), expected);
  }
  return manager;
}

std::wstring RollingConfiguration(const std::wstring& path, const std::wstring& keys) {
  return L"[Out]\nType = Appender\nAppenderType = RollingFile\nLayout = L\nFileName = " + path + L"\n" + keys +
         L"[L]\nType = Layout\nLayoutType = Custom\nFormat = %msg\n[Engine]\nAddAppenders = Out\n";
}

StatusCode Write(LogManager& manager, std::wstring_view text) {
  return manager.GetLogger(L"Engine")->Log(severity::Info, text, kFileId, 1, 2, 3, 4);
}

std::vector<std::wstring> Lines(int first, int last) {
  std::vector<std::wstring> lines;
  for (int i = first; i <= last; ++i) lines.push_back(FormatText(L"line %02d", i));
  return lines;
}

TEST(RollingFileAppender, SizeHundredAndTwoFilesKeepsTheLogAndTwoNumberedFiles) {
  test::TestFolder folder;
  const std::wstring path = folder.File(L"app.log");
  auto manager = ManagerWith(RollingConfiguration(path, L"Size = 100\nFilesCount = 2\n"));
  ASSERT_TRUE(manager);
  // Each line is 18 bytes: the sixth one in a file passes 100 bytes.
  for (const std::wstring& line : Lines(1, 20)) ASSERT_EQ(Write(*manager, line), status::Success);
  manager.reset();

  EXPECT_EQ(test::FilesIn(folder.Path()),
            (std::vector<std::wstring>{L"app.log", L"app.log.1", L"app.log.2", L"app.log.lock"}));
  bool wellFormed = false;
  EXPECT_EQ(test::ReadLogLines(path, &wellFormed), Lines(19, 20));
  EXPECT_TRUE(wellFormed);
  EXPECT_EQ(test::ReadLogLines(path + L".1", &wellFormed), Lines(13, 18));
  EXPECT_TRUE(wellFormed);
  EXPECT_EQ(test::ReadLogLines(path + L".2", &wellFormed), Lines(7, 12));
  EXPECT_TRUE(wellFormed);
}

TEST(RollingFileAppender, NoNumberedFilesMeansTheLogIsDeleted) {
  test::TestFolder folder;
  const std::wstring path = folder.File(L"app.log");
  auto manager = ManagerWith(RollingConfiguration(path, L"Size = 100\nFilesCount = 0\n"));
  ASSERT_TRUE(manager);
  for (const std::wstring& line : Lines(1, 8)) ASSERT_EQ(Write(*manager, line), status::Success);
  manager.reset();
  EXPECT_EQ(test::FilesIn(folder.Path()), (std::vector<std::wstring>{L"app.log", L"app.log.lock"}));
  EXPECT_EQ(test::ReadLogLines(path), Lines(7, 8));
}

TEST(RollingFileAppender, FewerFilesToKeepDeletesTheSurplusAtOnce) {
  test::TestFolder folder;
  const std::wstring path = folder.File(L"app.log");
  for (int i = 1; i <= 5; ++i) test::WriteFileBytes(path + L"." + std::to_wstring(i), "old");
  test::WriteFileBytes(path + L".12", "not ours to count");
  auto manager = ManagerWith(RollingConfiguration(path, L"FilesCount = 2\n"));
  ASSERT_TRUE(manager);
  EXPECT_EQ(test::FilesIn(folder.Path()), (std::vector<std::wstring>{L"app.log.1", L"app.log.12", L"app.log.2"}));
  auto* appender = dynamic_cast<RollingFileAppender*>(manager->FindAppender(L"Out"));
  ASSERT_NE(appender, nullptr);
  EXPECT_EQ(appender->Settings().filesCount, 2u);
  EXPECT_EQ(appender->Settings().size, 1048576u);
}

// The lock is the roll's: a conflict leaves the log as it is until a later
// write; a system that cannot lock at all rolls unlocked.
NTSTATUS g_rollLockAnswer = 0;
ZwLockFileFunction* g_realLock = nullptr;

// Answers the roll's lock (the one not waited for) as the test says; the
// waiting lock of every write goes to the system.
NTSTATUS NTAPI AnsweringLock(HANDLE file, HANDLE event, nt::IoApcRoutine apc, PVOID context, PIO_STATUS_BLOCK io,
                             PLARGE_INTEGER offset, PLARGE_INTEGER length, PULONG key, BOOLEAN failImmediately,
                             BOOLEAN exclusive) {
  if (failImmediately) return g_rollLockAnswer;
  return g_realLock(file, event, apc, context, io, offset, length, key, failImmediately, exclusive);
}

TEST(RollingFileAppender, RollLockDecidesWhetherTheRollGoesOn) {
  const struct {
    std::uint32_t ntStatus;
    const char* meaning;
    bool rolls;
  } rows[] = {
      {0xC0000055, "STATUS_LOCK_NOT_GRANTED: another process rolls", false},
      {0xC00000BB, "STATUS_NOT_SUPPORTED: 0xE0010054, locking not possible", true},
      {0xC0000010, "STATUS_INVALID_DEVICE_REQUEST: 0xE0010056", false},
  };
  test::TestFolder folder;
  int index = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.meaning);
    const std::wstring path = folder.File(L"app" + std::to_wstring(index++) + L".log");
    auto manager = ManagerWith(RollingConfiguration(path, L"Size = 100\nFilesCount = 3\n"));
    ASSERT_TRUE(manager);
    test::SwappedEntry swap(Native().ZwLockFile, &AnsweringLock);
    g_realLock = swap.original();
    g_rollLockAnswer = static_cast<NTSTATUS>(row.ntStatus);
    for (const std::wstring& line : Lines(1, 7)) ASSERT_EQ(Write(*manager, line), status::Success);
    manager.reset();
    if (row.rolls) {
      EXPECT_EQ(test::ReadLogLines(path), Lines(7, 7));
      EXPECT_EQ(test::ReadLogLines(path + L".1"), Lines(1, 6));
    } else {
      EXPECT_EQ(test::ReadLogLines(path), Lines(1, 7));
      EXPECT_FALSE(test::FileExistsAt(path + L".1"));
    }
  }
}

TEST(RollingFileAppender, TwoProcessesShareOneLogWithoutLosingOrMixingLines) {
  test::TestFolder folder;
  const std::wstring path = folder.File(L"shared.log");
  constexpr int kRecords = 1500;
  test::RunTwoLogWriters(path, kRecords, L"8192", L"100");
  std::vector<std::wstring> files;
  for (const std::wstring& name : test::FilesIn(folder.Path(), L"shared.log*")) {
    if (name != L"shared.log.lock") files.push_back(name);
  }
  std::map<std::wstring, std::set<int>> seen;
  EXPECT_EQ(test::ReadWriterRecords(folder.Path(), files, seen), 2u * kRecords);
  EXPECT_EQ(seen[L"A"].size(), static_cast<std::size_t>(kRecords));
  EXPECT_EQ(seen[L"B"].size(), static_cast<std::size_t>(kRecords));
  // 3000 lines of 102 bytes roll an 8 KB log more than thirty times.
  EXPECT_GT(files.size(), 30u);
}

TEST(RollingFileAppender, WritesItsCountsBackIntoASection) {
  test::TestFolder folder;
  auto manager = ManagerWith(RollingConfiguration(folder.File(L"app.log"), L"Size = 0x400\nFilesCount = 4\n"));
  ASSERT_TRUE(manager);
  ConfigSection written(L"Out");
  manager->FindAppender(L"Out")->WriteConfiguration(written);
  std::wstring value;
  EXPECT_EQ(written.GetValue(L"Size", value), status::Success);
  EXPECT_EQ(value, L"1024");
  EXPECT_EQ(written.GetValue(L"FilesCount", value), status::Success);
  EXPECT_EQ(value, L"4");
  EXPECT_EQ(written.GetValue(L"AppenderType", value), status::Success);
  EXPECT_EQ(value, L"RollingFile");
}

}  // namespace
}  // namespace zor
