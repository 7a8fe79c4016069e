// The service stage on real services of Wine's service manager. Each test
// works on services of its own names (rows of its own), so the tests may run
// side by side in one prefix; the product's own names are left to the
// stage's run in a prefix of its own.
#include "engines/service_remover.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/run_context.h"
#include "platform/native_api.h"
#include "platform/win32_api.h"
#include "tests/engines/service_stage_support.h"
#include "tests/platform/registry_test_support.h"
#include "tests/support/fake_clock.h"
#include "tests/support/narrow_text.h"
#include "tests/support/table_swap.h"
#include "tests/support/test_service_host.h"

namespace zor {
namespace {

using Lines = std::vector<std::string>;
using test::FakeClock;
using test::KeyPresent;
using test::Narrow;
using test::SwappedEntry;
using test::TestService;

const std::wstring kServices = L"SYSTEM\\CurrentControlSet\\Services\\";

using test::Hex;
using Stage = test::ServiceStageUnderTest;

// One row as the product's table has it: stop, delete, clean up.
std::vector<ServiceItem> ProductRow(const std::wstring& name) { return {{name, kServiceSteps}}; }

TEST(ServiceStage, EachStateOfAServiceEndsAsItShould) {
  const std::string refused = Hex(StatusFromLastError(ERROR_INVALID_SERVICE_CONTROL));
  const std::string timeout = Hex(status::ServiceStopTimeout);
  const struct {
    const char* what;
    const wchar_t* mode;  // null: nothing installed
    bool start;
    bool leftoverKey;  // a key without a service
    int restarts;
    Lines steps;  // after "Processing service N...", with N for the name
  } rows[] = {
      {"not installed, its key left over", nullptr, false, true, 0,
       {"INFO Service N is not installed", "DEBUG Service N RegCleanup"}},
      {"not installed at all", nullptr, false, false, 0,
       {"INFO Service N is not installed", "DEBUG Service N RegCleanup",
        "DEBUG Registry keys for service N are not present"}},
      {"installed and stopped", L"--stop=accept", false, false, 0,
       {"INFO Service N is not running", "DEBUG Service N Delete", "DEBUG Service N RegCleanup",
        "DEBUG Registry keys for service N are not present"}},
      {"running and stoppable", L"--stop=accept", true, false, 0,
       {"DEBUG Service N Stop", "DEBUG Service N Delete", "DEBUG Service N RegCleanup",
        "DEBUG Registry keys for service N are not present"}},
      {"refuses the stop", L"--stop=refuse", true, false, 1,
       {"DEBUG Service N Stop", "INFO Service N is unstoppable, RESTART planned", "DEBUG Service N Delete",
        "DEBUG Service N Delete failed (error: " + refused + ")", "DEBUG Service N Delete failed",
        "DEBUG Service N RegCleanup"}},
      {"hangs while stopping", L"--stop=hang", true, false, 1,
       {"DEBUG Service N Stop", "DEBUG Service N Stop failed (error: " + timeout + "), RESTART planned",
        "DEBUG Service N Stop failed", "DEBUG Service N Delete",
        "DEBUG Service N Delete failed (error: " + timeout + ")", "DEBUG Service N Delete failed",
        "DEBUG Service N RegCleanup"}},
  };
  int number = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const std::wstring suffix = L"state-" + std::to_wstring(number++);
    std::unique_ptr<TestService> service;
    std::wstring name = L"ZorTestSvc-" + std::to_wstring(GetCurrentProcessId()) + L"-" + suffix;
    if (row.mode) {
      service = std::make_unique<TestService>(suffix, row.mode);
      ASSERT_TRUE(service->Made()) << GetLastError();
      if (row.start) {
        ASSERT_TRUE(service->Run());
      }
      service->LetGo();
    }
    if (row.leftoverKey) {
      ASSERT_TRUE(test::MakeKey(HKEY_LOCAL_MACHINE, kServices + name + L"\\Parameters"));
    }

    // A stop that hangs is given up in the fake time.
    std::unique_ptr<FakeClock> clock;
    if (std::wstring_view(row.mode ? row.mode : L"") == L"--stop=hang") clock = std::make_unique<FakeClock>();
    Stage stage;
    const std::vector<ServiceItem> items = ProductRow(name);
    EXPECT_TRUE(stage.remover.RunServiceStage(items).Empty());
    clock.reset();

    Lines expected{"INFO Processing service N, it can take several minutes..."};
    expected.insert(expected.end(), row.steps.begin(), row.steps.end());
    for (std::string& line : expected) {
      for (std::size_t at = line.find("service N"); at != std::string::npos; at = line.find("service N", at)) {
        line.replace(at + 8, 1, Narrow(name));
      }
      for (std::size_t at = line.find("Service N"); at != std::string::npos; at = line.find("Service N", at)) {
        line.replace(at + 8, 1, Narrow(name));
      }
    }
    EXPECT_EQ(stage.log.TakeLines(), expected);
    EXPECT_EQ(stage.context.parameters.RestartCounter, row.restarts);
    EXPECT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, kServices + name));
    if (service && row.restarts == 0) {
      EXPECT_FALSE(service->Exists());
    }
  }
}

// A row the service manager cannot look up is reported and the rest of the
// stage goes on.
TEST(ServiceStage, ANameTooLongIsReportedAndItsRowGoesOn) {
  Stage stage;
  const std::wstring name(300, L'z');
  const std::vector<ServiceItem> items = ProductRow(name);
  EXPECT_TRUE(stage.remover.RunServiceStage(items).Empty());
  const std::string shown = Narrow(name);
  EXPECT_EQ(stage.log.TakeLines(),
            (Lines{"INFO Processing service " + shown + ", it can take several minutes...",
                   "WARN Failed while try to check service " + shown + " presence (error: " +
                       Hex(StatusFromLastError(ERROR_INVALID_NAME)) + ")",
                   "INFO Service " + shown + " is not installed", "DEBUG Service " + shown + " RegCleanup",
                   "DEBUG Registry keys for service " + shown + " are not present"}));
}

TEST(ServiceStage, MessagesCarryTheStagesFileId) {
  Stage stage;
  const std::wstring name = L"ZorTestSvc-" + std::to_wstring(GetCurrentProcessId()) + L"-fileid";
  const std::vector<ServiceItem> items = ProductRow(name);
  ASSERT_TRUE(stage.remover.RunServiceStage(items).Empty());
  stage.log.TakeLines();
  EXPECT_EQ(stage.log.FileIds(), std::set<std::string>{"3B565549-EC5C-4f44-AA48-B3A2D21F6302"});
}

// Many workers plan restarts at the same moment: each counts once.
TEST(ServiceStage, RestartsPlannedAtOnceAreEachCounted) {
  TestService first(L"race-1", L"--stop=refuse");
  TestService second(L"race-2", L"--stop=refuse");
  ASSERT_TRUE(first.Made() && second.Made()) << GetLastError();
  ASSERT_TRUE(first.Run() && second.Run());
  // Stop only: the services stay for the next round.
  std::vector<ServiceItem> rows;
  for (int i = 0; i < 16; ++i) rows.push_back({i % 2 ? first.Name() : second.Name(), StepStop});
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE(round);
    Stage stage;
    ASSERT_TRUE(stage.remover.RunServiceStage(rows).Empty());
    EXPECT_EQ(stage.context.parameters.RestartCounter, 16);
  }
}

TEST(ServiceStage, RunsOncePerProcess) {
  Stage stage;
  EXPECT_TRUE(stage.remover.RunServiceStage(std::span<const ServiceItem>()).Empty());
  EXPECT_EQ(stage.remover.RunServiceStage(std::span<const ServiceItem>()).Code(), status::ObjectAlreadyExists);
  EXPECT_TRUE(stage.log.TakeLines().empty());
}

// A worker held inside the service manager past the stage's wait: the stage
// gives up with WaitTimedOut, and the worker, released after the run
// context is gone, neither logs nor counts anything.
struct HeldManager {
  static inline HANDLE release = nullptr;
  static inline HANDLE entered = nullptr;
  static inline std::atomic<int> passed{0};
  static inline std::atomic<std::int64_t> askedTimeout{0};
  static SC_HANDLE WINAPI Open(LPCWSTR machine, LPCWSTR database, DWORD access) {
    SetEvent(entered);
    WaitForSingleObject(release, INFINITE);
    ++passed;
    return ::OpenSCManagerW(machine, database, access);
  }
  // The stage's 300 s, as asked for, shortened to half a second.
  static NTSTATUS NTAPI Wait(ULONG count, const HANDLE* handles, ULONG type, BOOLEAN alertable, PLARGE_INTEGER timeout) {
    askedTimeout = timeout ? timeout->QuadPart : 0;
    LARGE_INTEGER shorter;
    shorter.QuadPart = -5000000;
    return wait(count, handles, type, alertable, &shorter);
  }
  static inline decltype(Native().ZwWaitForMultipleObjects) wait = nullptr;
};

TEST(ServiceStage, AWorkerPastTheStagesWaitEndsItAndReportsNothingAfterIt) {
  HeldManager::release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HeldManager::entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HeldManager::passed = 0;
  HeldManager::wait = Native().ZwWaitForMultipleObjects;
  SwappedEntry held(Win32().OpenSCManagerW, &HeldManager::Open);
  SwappedEntry shortened(Native().ZwWaitForMultipleObjects, &HeldManager::Wait);

  test::EngineLog log;
  auto context = std::make_unique<RunContext>();
  context->logger = log.logger();
  auto remover = std::make_unique<ServiceRemover>(*context);
  const std::wstring name = L"ZorTestSvc-" + std::to_wstring(GetCurrentProcessId()) + L"-held";
  const std::vector<ServiceItem> rows = ProductRow(name);
  EXPECT_EQ(remover->RunServiceStage(rows).Code(), status::WaitTimedOut);
  EXPECT_EQ(HeldManager::askedTimeout, -300000LL * 10000);
  ASSERT_EQ(WaitForSingleObject(HeldManager::entered, 5000), WAIT_OBJECT_0);

  remover.reset();
  context.reset();
  SetEvent(HeldManager::release);
  for (int waited = 0; HeldManager::passed == 0 && waited < 100; ++waited) Sleep(50);
  EXPECT_EQ(HeldManager::passed, 1);
  // Time for the released worker to finish its row.
  Sleep(1000);
  EXPECT_EQ(log.Lines(), Lines{"INFO Processing service " + Narrow(name) + ", it can take several minutes..."});
  CloseHandle(HeldManager::release);
  CloseHandle(HeldManager::entered);
}

}  // namespace
}  // namespace zor
