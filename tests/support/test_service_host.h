#pragma once
// A real service of Wine's service manager running the test service program
// (tools/test_service.cpp) in the mode its arguments name. The target that
// uses it defines ZOR_TEST_SERVICE_PATH.
#include <windows.h>

#include <algorithm>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/narrow_text.h"

namespace zor::test {

inline std::wstring ServiceProgram() {
  std::wstring path = L"Z:" + test::Widen(ZOR_TEST_SERVICE_PATH);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

// A service of the test's own name, deleted (and its process ended) at the
// end of the test unless the test deleted it.
class TestService {
 public:
  TestService(const std::wstring& suffix, const std::wstring& arguments)
      : TestService(Named{L"ZorTestSvc-" + std::to_wstring(GetCurrentProcessId()) + L"-" + suffix}, arguments) {}
  // A service under exactly this name, as the product names its own.
  struct Named {
    std::wstring name;
  };
  TestService(const Named& named, const std::wstring& arguments) : name_(named.name) {
    manager_ = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager_) return;
    const std::wstring command = L"\"" + ServiceProgram() + L"\" " + arguments;
    service_ = CreateServiceW(manager_, name_.c_str(), name_.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                              SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, command.c_str(), nullptr, nullptr, nullptr,
                              nullptr, nullptr);
  }
  ~TestService() {
    // A service the test let go of is found again by its name, if it is
    // still there.
    if (!service_ && manager_) service_ = OpenServiceW(manager_, name_.c_str(), SERVICE_ALL_ACCESS);
    if (service_) {
      SERVICE_STATUS_PROCESS status{};
      DWORD needed = 0;
      if (QueryServiceStatusEx(service_, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                               &needed) &&
          status.dwProcessId != 0) {
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, status.dwProcessId)) {
          TerminateProcess(process, 0);
          WaitForSingleObject(process, 5000);
          CloseHandle(process);
        }
      }
      DeleteService(service_);
      CloseServiceHandle(service_);
    }
    if (manager_) CloseServiceHandle(manager_);
  }

  bool Made() const { return service_ != nullptr; }
  // Closes the test's handle, so that a deletion by the code under test
  // takes effect at once rather than when the test ends.
  void LetGo() {
    if (service_) CloseServiceHandle(service_);
    service_ = nullptr;
  }
  // Whether the service manager still knows the name.
  bool Exists() const {
    SC_HANDLE found = OpenServiceW(manager_, name_.c_str(), SERVICE_QUERY_STATUS);
    if (found) CloseServiceHandle(found);
    return found != nullptr;
  }
  // Polls, in real time, until the service manager has let the name go.
  // A service deleted while it still stops goes when its stop ends.
  bool WaitGone(DWORD milliseconds = 15000) const {
    for (DWORD waited = 0; Exists(); waited += 100) {
      if (waited >= milliseconds) return false;
      Sleep(100);
    }
    return true;
  }
  const std::wstring& Name() const { return name_; }

  SERVICE_STATUS Status() const {
    SERVICE_STATUS status{};
    if (service_) {
      QueryServiceStatus(service_, &status);
    } else if (SC_HANDLE found = OpenServiceW(manager_, name_.c_str(), SERVICE_QUERY_STATUS)) {
      QueryServiceStatus(found, &status);
      CloseServiceHandle(found);
    }
    return status;
  }

  // Polls until the state is reached or the time is up; gives the last status.
  SERVICE_STATUS WaitFor(DWORD state, DWORD milliseconds = 15000) const {
    SERVICE_STATUS status = Status();
    for (DWORD waited = 0; status.dwCurrentState != state && waited < milliseconds; waited += 100) {
      Sleep(100);
      status = Status();
    }
    return status;
  }

  bool Start() const { return StartServiceW(service_, 0, nullptr) != FALSE; }
  // Starts it and waits until it runs.
  bool Run() const { return Start() && WaitFor(SERVICE_RUNNING).dwCurrentState == SERVICE_RUNNING; }

  // The stop control; false with the error when the service refuses it.
  bool Stop(DWORD& error) const {
    SERVICE_STATUS status{};
    SetLastError(0);
    const bool sent = ControlService(service_, SERVICE_CONTROL_STOP, &status) != FALSE;
    error = sent ? 0 : GetLastError();
    return sent;
  }

 private:
  std::wstring name_;
  SC_HANDLE manager_ = nullptr;
  SC_HANDLE service_ = nullptr;
};

}  // namespace zor::test
