// The test service runs as a real service of Wine's service manager and
// behaves as each of its modes says: the service stage's tests and the
// fixture installer stand on it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/narrow_text.h"
#include "tests/support/test_service_host.h"

namespace zor {
namespace {

using test::TestService;

TEST(TestService, EachStopModeBehavesAsItsNameSays) {
  const struct {
    const wchar_t* mode;
    DWORD acceptedWhileRunning;
    bool stopSent;
    DWORD stateAfterStop;
  } rows[] = {
      {L"accept", SERVICE_ACCEPT_STOP, true, SERVICE_STOPPED},
      {L"refuse", 0, false, SERVICE_RUNNING},
      {L"slow:2", SERVICE_ACCEPT_STOP, true, SERVICE_STOPPED},
      {L"hang", SERVICE_ACCEPT_STOP, true, SERVICE_STOP_PENDING},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(test::Narrow(row.mode));
    std::wstring suffix = row.mode;
    std::replace(suffix.begin(), suffix.end(), L':', L'-');
    TestService service(suffix, std::wstring(L"--stop=") + row.mode);
    ASSERT_TRUE(service.Made()) << GetLastError();
    ASSERT_TRUE(service.Start()) << GetLastError();
    const SERVICE_STATUS running = service.WaitFor(SERVICE_RUNNING);
    ASSERT_EQ(running.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(running.dwControlsAccepted & SERVICE_ACCEPT_STOP, row.acceptedWhileRunning);

    DWORD error = 0;
    EXPECT_EQ(service.Stop(error), row.stopSent) << error;
    if (!row.stopSent) {
      EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL));
    }
    if (row.stateAfterStop == SERVICE_STOP_PENDING) {
      // It stays pending: its check point never moves again.
      Sleep(1500);
      const SERVICE_STATUS pending = service.Status();
      EXPECT_EQ(pending.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
      EXPECT_EQ(pending.dwCheckPoint, 1u);
    } else {
      EXPECT_EQ(service.WaitFor(row.stateAfterStop).dwCurrentState, row.stateAfterStop);
    }
  }
}

TEST(TestService, ASlowStopAdvancesItsCheckPoint) {
  TestService service(L"slow-points", L"--stop=slow:3");
  ASSERT_TRUE(service.Made()) << GetLastError();
  ASSERT_TRUE(service.Start()) << GetLastError();
  ASSERT_EQ(service.WaitFor(SERVICE_RUNNING).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
  DWORD error = 0;
  ASSERT_TRUE(service.Stop(error)) << error;
  Sleep(700);
  const SERVICE_STATUS first = service.Status();
  Sleep(1100);
  const SERVICE_STATUS later = service.Status();
  ASSERT_EQ(first.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
  EXPECT_GT(later.dwCheckPoint, first.dwCheckPoint);
  EXPECT_EQ(first.dwWaitHint, 1000u);
  EXPECT_EQ(service.WaitFor(SERVICE_STOPPED).dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
}

// Sends one request on the watchdog's pipe; the answer, or "(none)" when
// none comes within the time.
std::string Ask(const std::wstring& pipe, const std::string& request, DWORD milliseconds = 3000) {
  const std::wstring name = L"\\\\.\\pipe\\" + pipe;
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (DWORD waited = 0; waited < 10000; waited += 100) {
    handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                         nullptr);
    if (handle != INVALID_HANDLE_VALUE) break;
    Sleep(100);
  }
  if (handle == INVALID_HANDLE_VALUE) return "(no pipe)";
  OVERLAPPED io{};
  io.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD done = 0;
  if (!WriteFile(handle, request.data(), static_cast<DWORD>(request.size()), nullptr, &io)) {
    if (GetLastError() != ERROR_IO_PENDING || !GetOverlappedResult(handle, &io, &done, TRUE)) {
      CloseHandle(io.hEvent);
      CloseHandle(handle);
      return "(write failed)";
    }
  }
  char answer[64] = {};
  ResetEvent(io.hEvent);
  std::string result = "(none)";
  if (ReadFile(handle, answer, sizeof answer, nullptr, &io) ||
      (GetLastError() == ERROR_IO_PENDING && WaitForSingleObject(io.hEvent, milliseconds) == WAIT_OBJECT_0)) {
    if (GetOverlappedResult(handle, &io, &done, FALSE)) result.assign(answer, done);
  } else {
    CancelIo(handle);
  }
  CloseHandle(io.hEvent);
  CloseHandle(handle);
  return result;
}

TEST(TestService, AWatchdogAcceptsAStopOnlyAfterItIsAskedToAllowOne) {
  const std::wstring pipe = L"zor-test-watchdog-" + std::to_wstring(GetCurrentProcessId());
  TestService service(L"watchdog", L"--watchdog=" + pipe);
  ASSERT_TRUE(service.Made()) << GetLastError();
  ASSERT_TRUE(service.Start()) << GetLastError();
  const SERVICE_STATUS running = service.WaitFor(SERVICE_RUNNING);
  ASSERT_EQ(running.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(running.dwControlsAccepted & SERVICE_ACCEPT_STOP, 0u);
  DWORD error = 0;
  EXPECT_FALSE(service.Stop(error));

  EXPECT_EQ(Ask(pipe, "something else"), "unknown-request");
  EXPECT_EQ(service.Status().dwControlsAccepted & SERVICE_ACCEPT_STOP, 0u);
  EXPECT_EQ(Ask(pipe, "allow-stop"), "stop-allowed");
  EXPECT_EQ(service.Status().dwControlsAccepted & SERVICE_ACCEPT_STOP, static_cast<DWORD>(SERVICE_ACCEPT_STOP));
  ASSERT_TRUE(service.Stop(error)) << error;
  EXPECT_EQ(service.WaitFor(SERVICE_STOPPED).dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
}

TEST(TestService, ASilentWatchdogNeverAnswersNorAllowsAStop) {
  const std::wstring pipe = L"zor-test-silent-" + std::to_wstring(GetCurrentProcessId());
  TestService service(L"silent", L"--watchdog=" + pipe + L" --silent");
  ASSERT_TRUE(service.Made()) << GetLastError();
  ASSERT_TRUE(service.Start()) << GetLastError();
  ASSERT_EQ(service.WaitFor(SERVICE_RUNNING).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(Ask(pipe, "allow-stop", 1500), "(none)");
  EXPECT_EQ(service.Status().dwControlsAccepted & SERVICE_ACCEPT_STOP, 0u);
}

TEST(TestService, AHeldFileCannotBeDeletedWhileTheServiceRuns) {
  wchar_t folder[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
  const std::wstring file = std::wstring(folder) + L"zor-test-held-" + std::to_wstring(GetCurrentProcessId()) + L".log";
  {
    TestService service(L"hold", L"--hold=\"" + file + L"\"");
    ASSERT_TRUE(service.Made()) << GetLastError();
    ASSERT_TRUE(service.Start()) << GetLastError();
    ASSERT_EQ(service.WaitFor(SERVICE_RUNNING).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_FALSE(DeleteFileW(file.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    DWORD error = 0;
    ASSERT_TRUE(service.Stop(error)) << error;
    ASSERT_EQ(service.WaitFor(SERVICE_STOPPED).dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_TRUE(DeleteFileW(file.c_str())) << GetLastError();
  }
  DeleteFileW(file.c_str());
}

}  // namespace
}  // namespace zor
