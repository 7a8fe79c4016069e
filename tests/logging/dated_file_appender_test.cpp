#include "logging/dated_file_appender.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "logging/log_file_names.h"
#include "logging/log_time.h"
#include "tests/logging/logging_test_support.h"

namespace zor {
namespace {

constexpr wchar_t kFileId[] = L"{8E2F4A90-1B7C-4C3D-9F6E-5A0D2C8B7E13}";

std::atomic<std::int64_t> g_clockOffset{0};
std::int64_t TestClock() { return test::NowUtc() + g_clockOffset.load(); }

std::unique_ptr<LogManager> ManagerWith(const std::wstring& text) {
  StatusCode result = status::GenericFailure;
  std::unique_ptr<LogManager> manager = LogManager::CreateSeparate(result);
  EXPECT_EQ(result, status::Success);
  if (manager) {
    EXPECT_EQ(manager->Configure(text), status::Success);
  }
  return manager;
}

std::wstring DatedConfiguration(const std::wstring& path, const std::wstring& keys) {
  return L"[Out]\nType = Appender\nAppenderType = RollingDateFile\nLayout = L\nFileName = " + path + L"\n" + keys +
         L"[L]\nType = Layout\nLayoutType = Custom\nFormat = %msg\n[Engine]\nAddAppenders = Out\n";
}

StatusCode Write(LogManager& manager, std::wstring_view text) {
  return manager.GetLogger(L"Engine")->Log(severity::Info, text, kFileId, 1, 2, 3, 4);
}

// A log file as an earlier run left it, with the times of that run.
void MakeOldLog(const std::wstring& path, const std::wstring& line, std::int64_t time) {
  std::string bytes("\xFF\xFE", 2);
  for (wchar_t c : line + L"\r\n") {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  test::WriteFileBytes(path, bytes);
  test::SetFileTimes(path, time);
}

std::wstring DatedName(std::int64_t time) { return DatedFileName(L"app.log", SplitTime(time)); }

TEST(DatedFileAppender, OpeningALogOfAnEarlierDayRollsItFirst) {
  test::TestFolder folder;
  const std::wstring path = folder.File(L"app.log");
  MakeOldLog(path, L"from May", JoinTime({2024, 5, 6, 12, 0, 0, 0}));
  auto manager = ManagerWith(DatedConfiguration(path, L"FilesCount = 3\n"));
  ASSERT_TRUE(manager);
  EXPECT_EQ(Write(*manager, L"today"), status::Success);
  manager.reset();
  EXPECT_EQ(test::FilesIn(folder.Path()),
            (std::vector<std::wstring>{L"app.2024-05-06.log", L"app.log", L"app.log.lock"}));
  EXPECT_EQ(test::ReadLogLines(folder.File(L"app.2024-05-06.log")), std::vector<std::wstring>{L"from May"});
  bool wellFormed = false;
  EXPECT_EQ(test::ReadLogLines(path, &wellFormed), std::vector<std::wstring>{L"today"});
  EXPECT_TRUE(wellFormed);
}

// The day's name is taken (a roll by hand, a clock set back): the roll takes
// the next free numbered name rather than writing on into the old day's
// file, and the numbered files count as dated files.
TEST(DatedFileAppender, ARollToATakenNameTakesTheNextFreeOne) {
  test::TestFolder folder;
  const std::wstring path = folder.File(L"app.log");
  const std::int64_t may6 = JoinTime({2024, 5, 6, 12, 0, 0, 0});
  MakeOldLog(folder.File(L"app.2024-05-06.log"), L"rolled by hand", may6);
  MakeOldLog(folder.File(L"app.2024-05-06-1.log"), L"rolled before", may6);
  MakeOldLog(path, L"from May", may6);
  auto manager = ManagerWith(DatedConfiguration(path, L"FilesCount = 5\n"));
  ASSERT_TRUE(manager);
  EXPECT_EQ(Write(*manager, L"today"), status::Success);
  manager.reset();
  EXPECT_EQ(test::FilesIn(folder.Path()),
            (std::vector<std::wstring>{L"app.2024-05-06-1.log", L"app.2024-05-06-2.log", L"app.2024-05-06.log",
                                       L"app.log", L"app.log.lock"}));
  EXPECT_EQ(test::ReadLogLines(folder.File(L"app.2024-05-06.log")), std::vector<std::wstring>{L"rolled by hand"});
  EXPECT_EQ(test::ReadLogLines(folder.File(L"app.2024-05-06-1.log")), std::vector<std::wstring>{L"rolled before"});
  EXPECT_EQ(test::ReadLogLines(folder.File(L"app.2024-05-06-2.log")), std::vector<std::wstring>{L"from May"});
  EXPECT_EQ(test::ReadLogLines(path), std::vector<std::wstring>{L"today"});

  // FilesCount counts the numbered names too: with 1, only the newest
  // dated file stays.
  MakeOldLog(path, L"from June", JoinTime({2024, 6, 1, 12, 0, 0, 0}));
  manager = ManagerWith(DatedConfiguration(path, L"FilesCount = 1\n"));
  ASSERT_TRUE(manager);
  EXPECT_EQ(Write(*manager, L"later"), status::Success);
  manager.reset();
  EXPECT_EQ(test::FilesIn(folder.Path()),
            (std::vector<std::wstring>{L"app.2024-06-01.log", L"app.log", L"app.log.lock"}));
}

TEST(DatedFileAppender, FilesCountKeepsTheNewestDatedFiles) {
  test::TestFolder folder;
  const std::wstring path = folder.File(L"app.log");
  for (int day = 1; day <= 5; ++day) {
    const std::int64_t time = JoinTime({2024, 5, day, 23, 0, 0, 0});
    MakeOldLog(folder.File(DatedName(time)), L"day " + std::to_wstring(day), time);
  }
  test::WriteFileBytes(folder.File(L"app.old-backup-x.log"), "not a dated file");
  test::WriteFileBytes(folder.File(L"other.2024-05-01.log"), "another log's");
  MakeOldLog(path, L"day 6", JoinTime({2024, 5, 6, 23, 0, 0, 0}));
  auto manager = ManagerWith(DatedConfiguration(path, L"FilesCount = 3\n"));
  ASSERT_TRUE(manager);
  EXPECT_EQ(Write(*manager, L"today"), status::Success);
  manager.reset();
  EXPECT_EQ(test::FilesIn(folder.Path()),
            (std::vector<std::wstring>{L"app.2024-05-04.log", L"app.2024-05-05.log", L"app.2024-05-06.log", L"app.log",
                                       L"app.log.lock", L"app.old-backup-x.log", L"other.2024-05-01.log"}));
  EXPECT_EQ(test::ReadLogLines(folder.File(L"app.2024-05-06.log")), std::vector<std::wstring>{L"day 6"});
}

TEST(DatedFileAppender, DaysCountDeletesWhatIsOlderThanThatManyDays) {
  test::TestFolder folder;
  const std::wstring path = folder.File(L"app.log");
  const std::int64_t now = test::NowUtc();
  std::vector<std::wstring> kept;
  for (int daysAgo : {10, 8, 5, 2}) {
    const std::int64_t time = now - daysAgo * kTimeUnitsPerDay;
    MakeOldLog(folder.File(DatedName(time)), L"old", time);
    if (daysAgo < 7) kept.push_back(DatedName(time));
  }
  const std::int64_t yesterday = now - kTimeUnitsPerDay;
  MakeOldLog(path, L"yesterday", yesterday);
  kept.push_back(DatedName(yesterday));
  kept.push_back(L"app.log");
  kept.push_back(L"app.log.lock");
  std::sort(kept.begin(), kept.end());

  auto manager = ManagerWith(DatedConfiguration(path, L"DaysCount = 7\n"));
  ASSERT_TRUE(manager);
  EXPECT_EQ(Write(*manager, L"today"), status::Success);
  manager.reset();
  EXPECT_EQ(test::FilesIn(folder.Path()), kept);
}

TEST(DatedFileAppender, WithBothCountsZeroEveryDatedFileGoes) {
  test::TestFolder folder;
  const std::wstring path = folder.File(L"app.log");
  const std::int64_t time = JoinTime({2024, 5, 1, 23, 0, 0, 0});
  MakeOldLog(folder.File(DatedName(time)), L"old", time);
  MakeOldLog(path, L"older day", JoinTime({2024, 5, 2, 23, 0, 0, 0}));
  auto manager = ManagerWith(DatedConfiguration(path, L""));
  ASSERT_TRUE(manager);
  EXPECT_EQ(Write(*manager, L"today"), status::Success);
  manager.reset();
  EXPECT_EQ(test::FilesIn(folder.Path()), (std::vector<std::wstring>{L"app.log", L"app.log.lock"}));
}

TEST(DatedFileAppender, TheFirstWriteAfterMidnightRollsTheLog) {
  test::TestFolder folder;
  const std::wstring path = folder.File(L"app.log");
  auto manager = ManagerWith(DatedConfiguration(path, L"FilesCount = 5\n"));
  ASSERT_TRUE(manager);
  auto* appender = dynamic_cast<DatedFileAppender*>(manager->FindAppender(L"Out"));
  ASSERT_NE(appender, nullptr);
  g_clockOffset = 0;
  appender->SetClock(TestClock);

  const std::int64_t started = TestClock();
  EXPECT_EQ(Write(*manager, L"before"), status::Success);
  const std::int64_t nextRoll = appender->NextRollTime();
  EXPECT_EQ(nextRoll, NextUtcMidnight(started) + kTimeUnitsPerMillisecond);
  const std::wstring yesterdaysName = DatedName(test::CreationTimeOf(path));

  g_clockOffset = nextRoll - kTimeUnitsPerMillisecond - test::NowUtc();
  EXPECT_EQ(Write(*manager, L"still today"), status::Success);
  EXPECT_FALSE(test::FileExistsAt(folder.File(yesterdaysName)));

  g_clockOffset = nextRoll - test::NowUtc();
  EXPECT_EQ(Write(*manager, L"after midnight"), status::Success);
  EXPECT_EQ(appender->NextRollTime(), NextUtcMidnight(nextRoll) + kTimeUnitsPerMillisecond);
  manager.reset();

  EXPECT_EQ(test::FilesIn(folder.Path()), (std::vector<std::wstring>{yesterdaysName, L"app.log", L"app.log.lock"}));
  EXPECT_EQ(test::ReadLogLines(folder.File(yesterdaysName)), (std::vector<std::wstring>{L"before", L"still today"}));
  bool wellFormed = false;
  EXPECT_EQ(test::ReadLogLines(path, &wellFormed), std::vector<std::wstring>{L"after midnight"});
  EXPECT_TRUE(wellFormed);
}

TEST(DatedFileAppender, ANewLogCarriesTheCurrentTimeAsItsCreationTime) {
  if (test::RunningUnderWine()) {
    GTEST_SKIP() << "Wine 8 keeps no creation time of its own: it reports the file's birth (or an older last write "
                    "time), so a creation time set through FileBasicInformation is not kept";
  }
  test::TestFolder folder;
  const std::wstring path = folder.File(L"app.log");
  auto manager = ManagerWith(DatedConfiguration(path, L"FilesCount = 5\n"));
  ASSERT_TRUE(manager);
  auto* appender = dynamic_cast<DatedFileAppender*>(manager->FindAppender(L"Out"));
  ASSERT_NE(appender, nullptr);
  // Two days ahead, so that the time can only have come from the appender.
  g_clockOffset = 2 * kTimeUnitsPerDay;
  appender->SetClock(TestClock);
  const std::int64_t before = TestClock();
  EXPECT_EQ(Write(*manager, L"first"), status::Success);
  const std::int64_t created = test::CreationTimeOf(path);
  EXPECT_GE(created, before);
  EXPECT_LE(created - before, 10 * 10000000LL);
}

}  // namespace
}  // namespace zor
