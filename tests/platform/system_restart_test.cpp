// The restart request on every path, through the system tables: the calls
// that would restart the machine are replaced by recorders, so nothing here
// asks Wine to restart.
#include "platform/system_restart.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/native_api.h"
#include "platform/os_identity_reader.h"
#include "platform/win32_api.h"
#include "tests/support/table_swap.h"

namespace zor {
namespace {

using test::SwappedEntry;

constexpr std::uint32_t kAllFlags = RestartForceApplications | RestartReboot | RestartEvenWithoutSession;
constexpr DWORD kPlannedReason = 0x80000000;

// What the replaced calls saw, and what they answer.
struct Machine {
  std::vector<int> sessionStates;  // 0 is an active session
  bool sessionListReadable = true;
  int sessionListsFreed = 0;

  struct Answer {
    BOOL result;
    DWORD error;
  };
  std::deque<Answer> shutdownAnswers;  // one per InitiateSystemShutdownExW
  struct ShutdownCall {
    std::wstring message;
    DWORD timeout;
    BOOL force;
    BOOL reboot;
    DWORD reason;
  };
  std::vector<ShutdownCall> shutdownCalls;

  Answer exitWindowsAnswer{TRUE, 0};
  std::vector<UINT> exitWindowsCalls;

  std::vector<ULONG> kernelShutdowns;
  std::vector<DWORD> sleeps;

  Answer adjustAnswer{TRUE, 0};
  int adjustments = 0;
};

Machine* g_machine = nullptr;

struct SessionInfoA {
  DWORD sessionId;
  char* stationName;
  int state;
};

BOOL WINAPI FakeEnumerateSessions(HANDLE, DWORD, DWORD, void** sessions, DWORD* count) {
  if (!g_machine->sessionListReadable) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  auto* list = new SessionInfoA[g_machine->sessionStates.size() + 1];
  for (std::size_t i = 0; i < g_machine->sessionStates.size(); ++i) {
    list[i] = {static_cast<DWORD>(i), nullptr, g_machine->sessionStates[i]};
  }
  *sessions = list;
  *count = static_cast<DWORD>(g_machine->sessionStates.size());
  return TRUE;
}

void WINAPI FakeFreeSessions(void* memory) {
  delete[] static_cast<SessionInfoA*>(memory);
  ++g_machine->sessionListsFreed;
}

BOOL WINAPI FakeInitiateShutdown(LPWSTR, LPWSTR message, DWORD timeout, BOOL force, BOOL reboot, DWORD reason) {
  g_machine->shutdownCalls.push_back({message ? message : L"", timeout, force, reboot, reason});
  Machine::Answer answer{FALSE, ERROR_CALL_NOT_IMPLEMENTED};
  if (!g_machine->shutdownAnswers.empty()) {
    answer = g_machine->shutdownAnswers.front();
    g_machine->shutdownAnswers.pop_front();
  }
  SetLastError(answer.error);
  return answer.result;
}

BOOL WINAPI FakeExitWindows(UINT how, DWORD reason) {
  g_machine->exitWindowsCalls.push_back(how);
  EXPECT_EQ(reason, kPlannedReason);
  SetLastError(g_machine->exitWindowsAnswer.error);
  return g_machine->exitWindowsAnswer.result;
}

NTSTATUS NTAPI FakeKernelShutdown(ULONG action) {
  g_machine->kernelShutdowns.push_back(action);
  return 0;
}

void WINAPI FakeSleep(DWORD milliseconds) { g_machine->sleeps.push_back(milliseconds); }

BOOL WINAPI FakeAdjustPrivileges(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES previous, PDWORD) {
  ++g_machine->adjustments;
  if (previous) *previous = TOKEN_PRIVILEGES{};
  SetLastError(g_machine->adjustAnswer.error);
  return g_machine->adjustAnswer.result;
}

// Every call that would change the machine, replaced for one test; the
// system's identity is read again when it ends.
class SystemRestart : public ::testing::Test {
 protected:
  SystemRestart() { g_machine = &machine_; }
  ~SystemRestart() override {
    g_machine = nullptr;
    ReadOsIdentity();
  }

  // Makes the process see the given Windows version.
  void PretendWindows(DWORD major, DWORD minor, BYTE productType) {
    g_version = {major, minor, productType};
    const SwappedEntry version(Native().RtlGetVersion, &FakeVersion);
    ASSERT_EQ(ReadOsIdentity(), status::Success);
  }

  Machine machine_;

 private:
  struct Version {
    DWORD major, minor;
    BYTE productType;
  };
  static inline Version g_version{};
  static NTSTATUS NTAPI FakeVersion(PRTL_OSVERSIONINFOW info) {
    auto* extended = reinterpret_cast<RTL_OSVERSIONINFOEXW*>(info);
    extended->dwMajorVersion = g_version.major;
    extended->dwMinorVersion = g_version.minor;
    extended->wServicePackMajor = 0;
    extended->wProductType = g_version.productType;
    return 0;
  }

  SwappedEntry<decltype(Win32().EnumerateSessions)> sessions_{Win32().EnumerateSessions, &FakeEnumerateSessions};
  SwappedEntry<decltype(Win32().FreeSessions)> free_{Win32().FreeSessions, &FakeFreeSessions};
  SwappedEntry<decltype(Win32().Sleep)> sleep_{Win32().Sleep, &FakeSleep};
  SwappedEntry<decltype(Win32Changes().InitiateSystemShutdownExW)> initiate_{Win32Changes().InitiateSystemShutdownExW,
                                                                           &FakeInitiateShutdown};
  SwappedEntry<decltype(Win32Changes().ExitWindowsEx)> exit_{Win32Changes().ExitWindowsEx, &FakeExitWindows};
  SwappedEntry<decltype(Win32Changes().AdjustTokenPrivileges)> adjust_{Win32Changes().AdjustTokenPrivileges,
                                                                     &FakeAdjustPrivileges};
  SwappedEntry<decltype(NativeChanges().ZwShutdownSystem)> kernel_{NativeChanges().ZwShutdownSystem,
                                                                  &FakeKernelShutdown};
};

TEST_F(SystemRestart, TheOldestSystemsRestartThroughExitWindows) {
  const struct {
    const char* what;
    DWORD major, minor;
    BYTE productType;
    std::uint32_t flags;
    UINT how;
  } rows[] = {
      {"Windows 2000 Professional, every flag", 5, 0, 1, kAllFlags, EWX_FORCE | EWX_REBOOT},
      {"XP without a service pack, no flag", 5, 1, 1, 0, EWX_FORCEIFHUNG | EWX_POWEROFF},
      {"x64 XP, even without a session", 5, 2, 1, RestartEvenWithoutSession, EWX_FORCE | EWX_POWEROFF},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    machine_.exitWindowsCalls.clear();
    PretendWindows(row.major, row.minor, row.productType);
    EXPECT_EQ(RequestRestart(row.flags), status::Success);
    EXPECT_EQ(machine_.exitWindowsCalls, std::vector<UINT>{row.how});
    EXPECT_TRUE(machine_.shutdownCalls.empty());
  }
  machine_.exitWindowsAnswer = {FALSE, ERROR_PRIVILEGE_NOT_HELD};
  EXPECT_EQ(RequestRestart(kAllFlags), StatusFromLastError(ERROR_PRIVILEGE_NOT_HELD));
}

TEST_F(SystemRestart, LaterSystemsAskForARestartWithTheMessageAndTenSeconds) {
  PretendWindows(6, 1, 1);
  machine_.sessionStates = {0};
  machine_.shutdownAnswers = {{TRUE, 0}};
  EXPECT_EQ(RequestRestart(kAllFlags), status::Success);
  ASSERT_EQ(machine_.shutdownCalls.size(), 1u);
  const Machine::ShutdownCall& call = machine_.shutdownCalls.front();
  EXPECT_EQ(call.message, L"ZorRemover needs to restart your PC before continue");
  EXPECT_EQ(call.timeout, 10u);
  EXPECT_TRUE(call.force);
  EXPECT_TRUE(call.reboot);
  EXPECT_EQ(call.reason, kPlannedReason);
  EXPECT_TRUE(machine_.exitWindowsCalls.empty());
  EXPECT_EQ(machine_.sessionListsFreed, 1);
  // The privilege is taken for the request and given back after it.
  EXPECT_EQ(machine_.adjustments, 2);
}

TEST_F(SystemRestart, TheSessionsDecideWhetherARestartMayBeForcedOrAskedAtAll) {
  const struct {
    const char* what;
    std::vector<int> states;
    bool readable;
    std::uint32_t flags;
    StatusCode result;
    int calls;
    BOOL force;
  } rows[] = {
      {"an active session, not forced", {1, 0}, true, RestartReboot, status::Success, 1, FALSE},
      {"no active session, not allowed without one", {1, 4}, true, RestartReboot, status::RestartRefused, 0, FALSE},
      {"no session at all, allowed without one", {}, true, RestartReboot | RestartEvenWithoutSession, status::Success,
       1, TRUE},
      {"an unreadable list counts as an active session", {}, false, RestartReboot, status::Success, 1, FALSE},
  };
  PretendWindows(6, 1, 1);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    machine_.sessionStates = row.states;
    machine_.sessionListReadable = row.readable;
    machine_.shutdownCalls.clear();
    machine_.shutdownAnswers = {{TRUE, 0}};
    EXPECT_EQ(RequestRestart(row.flags), row.result);
    ASSERT_EQ(static_cast<int>(machine_.shutdownCalls.size()), row.calls);
    if (row.calls > 0) {
      EXPECT_EQ(machine_.shutdownCalls.front().force, row.force);
    }
  }
}

TEST_F(SystemRestart, WithNobodyLoggedOnANotReadySystemIsShutDownByTheKernelTenTimes) {
  PretendWindows(6, 1, 1);
  machine_.sessionStates = {};
  machine_.shutdownAnswers = {{FALSE, ERROR_NOT_READY}, {TRUE, 0}};
  EXPECT_EQ(RequestRestart(kAllFlags), status::Success);
  EXPECT_EQ(machine_.kernelShutdowns, std::vector<ULONG>(10, 1)) << "1 is a reboot";
  EXPECT_EQ(machine_.sleeps, std::vector<DWORD>(10, 300));
  EXPECT_EQ(machine_.shutdownCalls.size(), 2u);

  // Without the reboot flag the kernel is asked to power off; two refusals
  // end with the failure the request started with.
  machine_.kernelShutdowns.clear();
  machine_.shutdownCalls.clear();
  machine_.shutdownAnswers = {{FALSE, ERROR_NOT_READY}, {FALSE, ERROR_NOT_READY}};
  EXPECT_EQ(RequestRestart(RestartEvenWithoutSession), status::GenericFailure);
  EXPECT_EQ(machine_.kernelShutdowns, std::vector<ULONG>(20, 2)) << "2 is a power-off";
}

TEST_F(SystemRestart, ALockedMachineIsRestartedByForceOnlyWhenThatIsAllowed) {
  PretendWindows(6, 1, 1);
  machine_.sessionStates = {0};
  for (const DWORD locked : {static_cast<DWORD>(ERROR_MACHINE_LOCKED), static_cast<DWORD>(ERROR_BAD_LOGON_SESSION_STATE)}) {
    SCOPED_TRACE(locked);
    machine_.shutdownCalls.clear();
    machine_.shutdownAnswers = {{FALSE, locked}, {TRUE, 0}};
    EXPECT_EQ(RequestRestart(RestartReboot), status::RestartRefused);
    EXPECT_EQ(machine_.shutdownCalls.size(), 1u);

    machine_.shutdownCalls.clear();
    machine_.shutdownAnswers = {{FALSE, locked}, {TRUE, 0}};
    EXPECT_EQ(RequestRestart(RestartReboot | RestartEvenWithoutSession), status::Success);
    ASSERT_EQ(machine_.shutdownCalls.size(), 2u);
    EXPECT_FALSE(machine_.shutdownCalls[0].force);
    EXPECT_TRUE(machine_.shutdownCalls[1].force) << "the second attempt forces the applications closed";
  }
}

TEST_F(SystemRestart, AnyOtherRefusalIsTriedTwiceAndItsErrorReported) {
  PretendWindows(6, 1, 1);
  machine_.sessionStates = {0};
  machine_.shutdownAnswers = {{FALSE, ERROR_ACCESS_DENIED}, {FALSE, ERROR_SHUTDOWN_IN_PROGRESS}};
  EXPECT_EQ(RequestRestart(kAllFlags), StatusFromLastError(ERROR_SHUTDOWN_IN_PROGRESS));
  EXPECT_EQ(machine_.shutdownCalls.size(), 2u);
  EXPECT_TRUE(machine_.kernelShutdowns.empty());
}

TEST_F(SystemRestart, WithoutTheShutdownPrivilegeNothingIsAsked) {
  PretendWindows(6, 1, 1);
  machine_.sessionStates = {0};
  machine_.adjustAnswer = {FALSE, ERROR_NOT_ALL_ASSIGNED};
  EXPECT_EQ(RequestRestart(kAllFlags), StatusFromLastError(ERROR_NOT_ALL_ASSIGNED));
  EXPECT_TRUE(machine_.shutdownCalls.empty());
  EXPECT_TRUE(machine_.exitWindowsCalls.empty());
}

}  // namespace
}  // namespace zor
