// A logger or appender whose lock cannot be taken writes nothing: each
// record it is given is counted as lost instead of being written unguarded,
// where it could land in the middle of another thread's line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logging/log_manager.h"
#include "logging/log_status.h"
#include "platform/native_api.h"
#include "tests/logging/logging_test_support.h"
#include "tests/logging/memory_appender.h"
#include "tests/support/table_swap.h"

namespace zor {
namespace {

NTSTATUS NTAPI RefuseCriticalSection(PRTL_CRITICAL_SECTION) { return static_cast<NTSTATUS>(0xC0000017); }

TEST(LoggingLocks, AnAppenderWithoutItsLockCountsTheRecordAndWritesNothing) {
  test::TestFolder folder;
  const std::wstring path = folder.File(L"unguarded.log");
  StatusCode result = status::GenericFailure;
  std::unique_ptr<LogManager> manager = LogManager::CreateSeparate(result);
  ASSERT_EQ(result, status::Success);
  ASSERT_EQ(manager->Configure(L"[L]\nType = Layout\nLayoutType = Custom\nFormat = %msg\n"
                               L"[Engine]\nSeverity = All\n"),
            status::Success);
  const Layout* layout = manager->FindLayout(L"L");
  ASSERT_NE(layout, nullptr);

  // An appender made while no lock can be made: it refuses to start.
  std::unique_ptr<test::MemoryAppender> unguarded;
  {
    test::SwappedEntry swap{Native().RtlInitializeCriticalSection, &RefuseCriticalSection};
    unguarded = std::make_unique<test::MemoryAppender>(L"Unguarded");
  }
  EXPECT_EQ(unguarded->Initialise(), status::LockingUnavailable);
  unguarded->SetLayout(layout, L"L");

  LogRecord record;
  record.severity = severity::Info;
  record.message = L"never written";
  const std::uint64_t lostBefore = DroppedLogMessages();
  EXPECT_EQ(unguarded->Append(record), status::LockingUnavailable);
  EXPECT_EQ(DroppedLogMessages(), lostBefore + 1);
  EXPECT_TRUE(unguarded->lines.empty());
  EXPECT_EQ(unguarded->opens, 0);
}

TEST(LoggingLocks, ALoggerWithoutItsLockPassesTheRecordToNoAppender) {
  StatusCode result = status::GenericFailure;
  std::unique_ptr<LogManager> manager = LogManager::CreateSeparate(result);
  ASSERT_EQ(result, status::Success);
  manager->RegisterAppenderFactory(test::kMemoryAppenderType, &test::MakeMemoryAppender);
  ASSERT_EQ(manager->Configure(L"[Out]\nType = Appender\nAppenderType = TestMemory\nLayout = L\n"
                               L"[L]\nType = Layout\nLayoutType = Custom\nFormat = %msg\n"),
            status::Success);
  auto* out = static_cast<test::MemoryAppender*>(manager->FindAppender(L"Out"));
  ASSERT_NE(out, nullptr);

  std::unique_ptr<Logger> logger;
  {
    test::SwappedEntry swap{Native().RtlInitializeCriticalSection, &RefuseCriticalSection};
    logger = std::make_unique<Logger>(*manager, L"Unguarded", nullptr, 6);
  }
  EXPECT_EQ(logger->Initialise(), status::LockingUnavailable);
  logger->Configure(severity::All, false, {out});

  const std::uint64_t lostBefore = DroppedLogMessages();
  EXPECT_EQ(logger->Log(severity::Info, L"never written", L"", 0, 0, 0, 0),
            AsLoggingWarning(status::LockingUnavailable));
  EXPECT_EQ(DroppedLogMessages(), lostBefore + 1);
  EXPECT_TRUE(out->lines.empty());

  // The same appender, reached through a logger that has its lock, writes.
  Logger* guarded = manager->GetLogger(L"Guarded");
  ASSERT_NE(guarded, nullptr);
  guarded->Configure(severity::All, false, {out});
  EXPECT_EQ(guarded->Log(severity::Info, L"written", L"", 0, 0, 0, 0), status::Success);
  EXPECT_EQ(out->lines, std::vector<std::wstring>{L"written"});
}

}  // namespace
}  // namespace zor
