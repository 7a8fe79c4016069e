// The service control wrapper on real services of Wine's service manager
// (the test service program in its modes), with the native clock and a few
// Win32 entries swapped where a test must see a path or a time that a real
// service would not give it at once.
#include "platform/service_control.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/win32_api.h"
#include "tests/support/fake_clock.h"
#include "tests/support/narrow_text.h"
#include "tests/support/table_swap.h"
#include "tests/support/test_service_host.h"

namespace zor {
namespace {

using test::FakeClock;
using test::SwappedEntry;
using test::TestService;

std::uint32_t Code(const StatusRecord& record) { return static_cast<std::uint32_t>(record.Code()); }

std::wstring ParameterOf(const StatusRecord& record, std::wstring_view name) {
  if (!record.Exception()) return L"(none)";
  for (const StatusParameter& parameter : record.Exception()->Parameters()) {
    if (parameter.name == name) return parameter.value;
  }
  return L"(missing)";
}

// Every access mask the wrapper opens services with, and every stop control
// it sends, passed on to the real calls.
struct CallLog {
  static inline std::vector<DWORD> serviceOpens;
  static inline std::atomic<int> stopControls{0};
  static SC_HANDLE WINAPI OpenService(SC_HANDLE manager, LPCWSTR name, DWORD access) {
    serviceOpens.push_back(access);
    return ::OpenServiceW(manager, name, access);
  }
  static BOOL WINAPI Control(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) {
    ++stopControls;
    return ::ControlService(service, control, status);
  }
  CallLog() {
    serviceOpens.clear();
    stopControls = 0;
  }
  SwappedEntry<decltype(Win32().OpenServiceW)> open{Win32().OpenServiceW, &OpenService};
  SwappedEntry<decltype(Win32Changes().ControlService)> control{Win32Changes().ControlService, &Control};
};

TEST(ServicePresence, AnUnknownNameIsAbsentAndAManagerThatRefusesIsAFailure) {
  bool present = true;
  EXPECT_TRUE(IsServicePresent(L"ZorNoSuchService-" + std::to_wstring(GetCurrentProcessId()), present).Empty());
  EXPECT_FALSE(present);

  TestService service(L"present", L"--stop=accept");
  ASSERT_TRUE(service.Made()) << GetLastError();
  EXPECT_TRUE(IsServicePresent(service.Name(), present).Empty());
  EXPECT_TRUE(present);

  auto refuse = [](LPCWSTR, LPCWSTR, DWORD) -> SC_HANDLE {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  };
  SwappedEntry refused(Win32().OpenSCManagerW, +refuse);
  present = true;
  const StatusRecord result = IsServicePresent(service.Name(), present);
  EXPECT_EQ(Code(result), static_cast<std::uint32_t>(StatusFromLastError(ERROR_ACCESS_DENIED)));
  EXPECT_TRUE(present) << "a failed query leaves the answer alone";
}

// A name longer than the service manager takes is refused as Windows
// refuses it, also where the manager itself would only not find it (Wine).
TEST(ServicePresence, ANameTooLongIsRefusedNotLookedFor) {
  bool present = true;
  const StatusRecord result = IsServicePresent(std::wstring(257, L'z'), present);
  EXPECT_EQ(Code(result), static_cast<std::uint32_t>(StatusFromLastError(ERROR_INVALID_NAME)));
  EXPECT_TRUE(present);
  EXPECT_TRUE(IsServicePresent(std::wstring(256, L'z'), present).Empty());
  EXPECT_FALSE(present);
}

TEST(StopServiceByName, StopsARealServiceInEachWayItCanStop) {
  const struct {
    const wchar_t* mode;
    std::uint32_t code;
  } rows[] = {
      {L"accept", 0},
      {L"slow:2", 0},
      {L"refuse", static_cast<std::uint32_t>(StatusFromLastError(ERROR_INVALID_SERVICE_CONTROL))},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(test::Narrow(row.mode));
    std::wstring suffix = std::wstring(L"stop-") + row.mode;
    std::replace(suffix.begin(), suffix.end(), L':', L'-');
    TestService service(suffix, std::wstring(L"--stop=") + row.mode);
    ASSERT_TRUE(service.Made()) << GetLastError();
    ASSERT_TRUE(service.Run());
    EXPECT_EQ(Code(StopServiceByName(service.Name())), row.code);
    EXPECT_EQ(service.Status().dwCurrentState,
              row.code == 0 ? static_cast<DWORD>(SERVICE_STOPPED) : static_cast<DWORD>(SERVICE_RUNNING));
  }
}

TEST(StopServiceByName, AStoppedServiceNeedsOneQueryAndNoControl) {
  TestService service(L"already-stopped", L"--stop=accept");
  ASSERT_TRUE(service.Made()) << GetLastError();
  CallLog calls;
  EXPECT_TRUE(StopServiceByName(service.Name()).Empty());
  EXPECT_EQ(calls.stopControls, 0);
  EXPECT_EQ(calls.serviceOpens, std::vector<DWORD>{SERVICE_QUERY_STATUS});
}

// The first query uses the rights of the first opening; the stop adds
// SERVICE_STOP and the delete DELETE, each keeping what the handle had.
TEST(ServiceAccess, EachCallReopensOnlyForTheRightsItLacks) {
  TestService service(L"access", L"--stop=accept");
  ASSERT_TRUE(service.Made()) << GetLastError();
  ASSERT_TRUE(service.Run());
  CallLog calls;
  SERVICE_STATUS status{};
  EXPECT_TRUE(QueryServiceStatusByName(service.Name(), status).Empty());
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(calls.serviceOpens, std::vector<DWORD>{SERVICE_QUERY_STATUS});

  calls.serviceOpens.clear();
  service.LetGo();
  EXPECT_TRUE(DeleteServiceByName(service.Name()).Empty());
  EXPECT_EQ(calls.serviceOpens, (std::vector<DWORD>{SERVICE_QUERY_STATUS, SERVICE_QUERY_STATUS | SERVICE_STOP,
                                                    SERVICE_QUERY_STATUS | SERVICE_STOP | DELETE}));
  // A service slow to report its stop under load is asked once more, with
  // the rights the handle already has.
  EXPECT_GE(calls.stopControls, 1);
  bool present = true;
  EXPECT_TRUE(IsServicePresent(service.Name(), present).Empty());
  EXPECT_FALSE(present);
}

TEST(DeleteServiceByName, AStoppedServiceIsDeletedWithoutAStopAndAMarkedOneCountsAsDeleted) {
  TestService stopped(L"delete-stopped", L"--stop=accept");
  ASSERT_TRUE(stopped.Made()) << GetLastError();
  {
    CallLog calls;
    EXPECT_TRUE(DeleteServiceByName(stopped.Name()).Empty());
    EXPECT_EQ(calls.stopControls, 0);
    EXPECT_EQ(calls.serviceOpens, (std::vector<DWORD>{SERVICE_QUERY_STATUS, SERVICE_QUERY_STATUS | DELETE}));
  }

  TestService marked(L"delete-marked", L"--stop=accept");
  ASSERT_TRUE(marked.Made()) << GetLastError();
  auto alreadyMarked = [](SC_HANDLE) -> BOOL {
    SetLastError(ERROR_SERVICE_MARKED_FOR_DELETE);
    return FALSE;
  };
  SwappedEntry swapped(Win32Changes().DeleteService, +alreadyMarked);
  EXPECT_TRUE(DeleteServiceByName(marked.Name()).Empty());
  auto denied = [](SC_HANDLE) -> BOOL {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  };
  SwappedEntry refused(Win32Changes().DeleteService, +denied);
  EXPECT_EQ(Code(DeleteServiceByName(marked.Name())), static_cast<std::uint32_t>(StatusFromLastError(ERROR_ACCESS_DENIED)));
}

TEST(StopServiceByName, AStopRefusedBecauseWindowsShutsDownCountsAsDone) {
  TestService service(L"shutdown", L"--stop=accept");
  ASSERT_TRUE(service.Made()) << GetLastError();
  ASSERT_TRUE(service.Run());
  auto shuttingDown = [](SC_HANDLE, DWORD, LPSERVICE_STATUS) -> BOOL {
    SetLastError(ERROR_SHUTDOWN_IN_PROGRESS);
    return FALSE;
  };
  SwappedEntry swapped(Win32Changes().ControlService, +shuttingDown);
  EXPECT_TRUE(StopServiceByName(service.Name()).Empty());
  EXPECT_EQ(service.Status().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
}

// A status that a test dictates: STOP_PENDING with a wait hint and a check
// point that advances as the test says, then STOPPED.
struct DictatedStatus {
  static inline DWORD waitHint = 0;
  static inline int advancingPolls = 0;  // polls whose check point moves on
  static inline int stopAfter = -1;      // polls before STOPPED; -1: never
  static inline int polls = 0;
  static BOOL WINAPI Query(SC_HANDLE, LPSERVICE_STATUS status) {
    *status = SERVICE_STATUS{};
    status->dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    const int poll = polls++;
    status->dwCurrentState = stopAfter >= 0 && poll >= stopAfter ? SERVICE_STOPPED : SERVICE_STOP_PENDING;
    status->dwWaitHint = waitHint;
    status->dwCheckPoint = static_cast<DWORD>(1 + std::min(poll, advancingPolls));
    return TRUE;
  }
  DictatedStatus(DWORD hint, int advancing, int stop) {
    waitHint = hint;
    advancingPolls = advancing;
    stopAfter = stop;
    polls = 0;
  }
  SwappedEntry<decltype(Win32().QueryServiceStatus)> query{Win32().QueryServiceStatus, &Query};
};

// A stuck service is polled at a tenth of its wait hint (250 ms to 10 s)
// and given up once its hint and 80 s have passed without progress.
TEST(StopAndWait, PollsAtATenthOfTheHintAndGivesUpAfterTheHintAnd80Seconds) {
  TestService service(L"stuck", L"--stop=accept");
  ASSERT_TRUE(service.Made()) << GetLastError();
  const struct {
    DWORD waitHint;
    std::int32_t delay;
  } rows[] = {{0, 250}, {2000, 250}, {30000, 3000}, {200000, 10000}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.waitHint);
    FakeClock clock;
    DictatedStatus dictated(row.waitHint, 0, -1);
    const std::uint32_t start = FakeClock::Now();
    const StatusRecord result = StopServiceByName(service.Name());
    ASSERT_EQ(Code(result), static_cast<std::uint32_t>(status::ServiceStopTimeout));
    const std::vector<std::int32_t> sleeps = FakeClock::Sleeps();
    ASSERT_FALSE(sleeps.empty());
    for (std::int32_t sleep : sleeps) EXPECT_EQ(sleep, row.delay);
    const std::uint32_t waited = FakeClock::Now() - start;
    // The first read after the limit gives up, not one later.
    EXPECT_GT(waited, row.waitHint + 80000);
    EXPECT_LE(waited, row.waitHint + 80000 + static_cast<std::uint32_t>(row.delay));
    EXPECT_EQ(ParameterOf(result, L"%NAME%"), service.Name());
    EXPECT_EQ(ParameterOf(result, L"%CHECK_POINT%"), L"1");
    EXPECT_EQ(ParameterOf(result, L"%WAIT_HINT%"), std::to_wstring(row.waitHint));
    EXPECT_EQ(ParameterOf(result, L"%WAIT_TIME%"), std::to_wstring(waited));
  }
}

TEST(StopAndWait, WaitsAsLongAsTheCheckPointAdvances) {
  TestService service(L"advancing", L"--stop=accept");
  ASSERT_TRUE(service.Made()) << GetLastError();
  FakeClock clock;
  // 600 polls of 250 ms: 150 s, far past 80 s, each with progress.
  DictatedStatus dictated(0, 600, 600);
  const std::uint32_t start = FakeClock::Now();
  EXPECT_TRUE(StopServiceByName(service.Name()).Empty());
  EXPECT_EQ(FakeClock::Now() - start, 600u * 250u);

  // Progress that ends starts the count again from its last advance.
  FakeClock again;
  DictatedStatus stalls(0, 100, -1);
  const std::uint32_t from = FakeClock::Now();
  EXPECT_EQ(Code(StopServiceByName(service.Name())), static_cast<std::uint32_t>(status::ServiceStopTimeout));
  EXPECT_EQ(FakeClock::Now() - from, 100u * 250u + 80000u + 250u);
}

// A service that takes the stop control and goes on running is asked again,
// no faster than a stopping one is polled and no longer than one that never
// advances is waited for.
TEST(StopAndWait, AServiceThatTakesTheControlAndRunsOnIsAskedAgainUntilTheTimeOut) {
  TestService service(L"runs-on", L"--stop=accept");
  ASSERT_TRUE(service.Made()) << GetLastError();
  auto running = [](SC_HANDLE, LPSERVICE_STATUS status) -> BOOL {
    *status = SERVICE_STATUS{};
    status->dwCurrentState = SERVICE_RUNNING;
    status->dwControlsAccepted = SERVICE_ACCEPT_STOP;
    return TRUE;
  };
  static std::atomic<int> controls{0};
  controls = 0;
  auto taken = [](SC_HANDLE, DWORD, LPSERVICE_STATUS status) -> BOOL {
    ++controls;
    *status = SERVICE_STATUS{};
    status->dwCurrentState = SERVICE_RUNNING;
    return TRUE;
  };
  SwappedEntry query(Win32().QueryServiceStatus, +running);
  SwappedEntry control(Win32Changes().ControlService, +taken);
  FakeClock clock;
  const std::uint32_t start = FakeClock::Now();
  EXPECT_EQ(Code(StopServiceByName(service.Name())), static_cast<std::uint32_t>(status::ServiceStopTimeout));
  EXPECT_EQ(FakeClock::Now() - start, 80250u);
  // The first control, then one after each pause until the limit.
  EXPECT_EQ(controls, 322);
  for (std::int32_t sleep : FakeClock::Sleeps()) EXPECT_EQ(sleep, 250);
}

// A real service that hangs in STOP_PENDING: the wait gives up in the fake
// time, and a delete that must stop it first does not delete it.
TEST(StopAndWait, ARealServiceThatHangsIsGivenUpAndNotDeleted) {
  TestService service(L"hang", L"--stop=hang");
  ASSERT_TRUE(service.Made()) << GetLastError();
  ASSERT_TRUE(service.Run());
  FakeClock clock;
  EXPECT_EQ(Code(StopServiceByName(service.Name())), static_cast<std::uint32_t>(status::ServiceStopTimeout));
  EXPECT_EQ(Code(DeleteServiceByName(service.Name())), static_cast<std::uint32_t>(status::ServiceStopTimeout));
  bool present = false;
  EXPECT_TRUE(IsServicePresent(service.Name(), present).Empty());
  EXPECT_TRUE(present);
}

}  // namespace
}  // namespace zor
