// The service stage with the product's own names: watchdogs of the real
// generations and the whole built-in table with five of the product's
// services installed and running. Each test runs in a prefix of its own,
// since the stage removes whatever carries those names.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/run_context.h"
#include "engines/service_remover.h"
#include "tests/engines/service_stage_support.h"
#include "tests/platform/registry_test_support.h"
#include "tests/support/fake_clock.h"
#include "tests/support/line_checks.h"
#include "tests/support/test_service_host.h"

namespace zor {
namespace {

using Lines = std::vector<std::string>;
using test::FakeClock;
using test::KeyPresent;
using test::TestService;
using Named = TestService::Named;

const std::wstring kServices = L"SYSTEM\\CurrentControlSet\\Services\\";

using test::Hex;
using Stage = test::ServiceStageUnderTest;

std::span<const ServiceItem> RowOf(std::wstring_view name) {
  for (const ServiceItem& row : ServiceItemTable()) {
    if (row.name == name) return {&row, 1};
  }
  return {};
}

TEST(WatchdogRow, TheWatchdogAllowsItsStopWhenAskedAndIsRemoved) {
  TestService watchdog(Named{L"ZorWatchdog"}, L"--watchdog=ZorWatchdog10");
  ASSERT_TRUE(watchdog.Made()) << GetLastError();
  ASSERT_TRUE(watchdog.Run());
  ASSERT_EQ(watchdog.Status().dwControlsAccepted & SERVICE_ACCEPT_STOP, 0u) << "no stop before the request";
  watchdog.LetGo();

  Stage stage;
  ASSERT_EQ(RowOf(L"ZorWatchdog").size(), 1u);
  EXPECT_TRUE(stage.remover.RunServiceStage(RowOf(L"ZorWatchdog")).Empty());
  EXPECT_EQ(stage.log.TakeLines(), (Lines{"INFO Processing service ZorWatchdog, it can take several minutes...",
                                          "DEBUG Service ZorWatchdog BeforeStop", "DEBUG Service ZorWatchdog Stop",
                                          "DEBUG Service ZorWatchdog Delete", "DEBUG Service ZorWatchdog RegCleanup",
                                          "DEBUG Registry keys for service ZorWatchdog are not present"}));
  EXPECT_EQ(stage.context.parameters.RestartCounter, 0);
  EXPECT_FALSE(watchdog.Exists());
}

// A watchdog that takes the request and never answers: the step gives up,
// and the stage goes on as with any service that will not stop.
TEST(WatchdogRow, AWatchdogThatNeverAnswersEndsTheStepWithAWarning) {
  TestService watchdog(Named{L"ZorWatchdog"}, L"--watchdog=ZorWatchdog10 --silent");
  ASSERT_TRUE(watchdog.Made()) << GetLastError();
  ASSERT_TRUE(watchdog.Run());
  watchdog.LetGo();

  Stage stage;
  EXPECT_TRUE(stage.remover.RunServiceStage(RowOf(L"ZorWatchdog")).Empty());
  const std::string timeout = Hex(StatusFromLastError(ERROR_TIMEOUT));
  const std::string refused = Hex(StatusFromLastError(ERROR_INVALID_SERVICE_CONTROL));
  EXPECT_EQ(stage.log.TakeLines(),
            (Lines{"INFO Processing service ZorWatchdog, it can take several minutes...",
                   "DEBUG Service ZorWatchdog BeforeStop",
                   "WARN Service ZorWatchdog Failed to SetStoppable command (error: " + timeout + ")",
                   "DEBUG Service ZorWatchdog BeforeStop failed", "DEBUG Service ZorWatchdog Stop",
                   "INFO Service ZorWatchdog is unstoppable, RESTART planned", "DEBUG Service ZorWatchdog Delete",
                   "DEBUG Service ZorWatchdog Delete failed (error: " + refused + ")",
                   "DEBUG Service ZorWatchdog Delete failed", "DEBUG Service ZorWatchdog RegCleanup"}));
  EXPECT_EQ(stage.context.parameters.RestartCounter, 1);
  EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, kServices + L"ZorWatchdog"));
}

// An older watchdog agrees, but the current one never shows that a stop is
// allowed: twenty reads 200 ms apart, then the step fails with E_FAIL.
TEST(WatchdogRow, TheCurrentWatchdogIsReadTwentyTimesForThePermission) {
  TestService older(Named{L"ZorWatchdog8"}, L"--watchdog=ZorWatchdog8");
  TestService current(Named{L"ZorWatchdog"}, L"--stop=refuse");
  ASSERT_TRUE(older.Made() && current.Made()) << GetLastError();
  ASSERT_TRUE(older.Run() && current.Run());
  older.LetGo();

  Stage stage;
  {
    FakeClock clock;
    EXPECT_TRUE(stage.remover.RunServiceStage(RowOf(L"ZorWatchdog8")).Empty());
    std::vector<std::int32_t> sleeps = FakeClock::Sleeps();
    EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), kWatchdogReadPause), kWatchdogReads);
  }
  const Lines lines = stage.log.TakeLines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[2], "WARN Service ZorWatchdog8 Failed to SetStoppable command (error: 80004005)");
  EXPECT_EQ(lines[3], "DEBUG Service ZorWatchdog8 BeforeStop failed");
  // The older watchdog took the request: it stops and goes. The stage's
  // waits ran on the fake clock, so under load its stop may still be under
  // way when the stage has deleted it; the name goes when the stop ends.
  EXPECT_EQ(lines[4], "DEBUG Service ZorWatchdog8 Stop");
  EXPECT_TRUE(older.WaitGone()) << test::Joined(lines);
  EXPECT_TRUE(current.Exists());
}

// The whole table at once, five of its services installed and running, three
// of them slow to stop: the stage takes about as long as the slowest one.
TEST(ServiceTableRun, RemovesTheProductsServicesSideBySide) {
  std::vector<std::unique_ptr<TestService>> services;
  const struct {
    const wchar_t* name;
    const wchar_t* arguments;
  } installed[] = {
      {L"ZorWatchdog", L"--watchdog=ZorWatchdog10"}, {L"ZorSvc", L"--stop=slow:3"}, {L"ZorUpdate", L"--stop=slow:2"},
      {L"ZorScan", L"--stop=slow:1"},                {L"ZorAdminServer", L"--stop=accept"},
  };
  for (const auto& row : installed) {
    services.push_back(std::make_unique<TestService>(Named{row.name}, row.arguments));
    ASSERT_TRUE(services.back()->Made()) << GetLastError();
    ASSERT_TRUE(services.back()->Run());
    services.back()->LetGo();
  }

  Stage stage;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(stage.remover.RunServiceStage().Empty());
  const auto took =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  std::printf("service stage: %lld ms for 38 rows; the three slow stops alone take 3000 + 2000 + 1000 ms\n",
              static_cast<long long>(took));

  for (const auto& service : services) {
    SCOPED_TRACE(test::Narrow(service->Name()));
    EXPECT_FALSE(service->Exists());
    EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, kServices + service->Name()));
  }
  EXPECT_EQ(stage.context.parameters.RestartCounter, 0);
  const Lines lines = stage.log.TakeLines();
  int notInstalled = 0;
  for (const std::string& line : lines) {
    EXPECT_NE(line.rfind("WARN", 0), 0u) << line;
    if (line.find(" is not installed") != std::string::npos) ++notInstalled;
  }
  EXPECT_EQ(notInstalled, 33);
}

}  // namespace
}  // namespace zor
