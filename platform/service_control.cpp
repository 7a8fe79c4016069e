#include "platform/service_control.h"

#include "platform/change_tally.h"
#include "platform/clock.h"
#include "platform/stop_wait_rules.h"
#include "platform/win32_api.h"

namespace zor {
namespace {

StatusRecord LastErrorStatus() { return MakeStatus(StatusFromLastError(GetLastError())); }

StatusRecord StopTimeout(std::wstring_view name, const SERVICE_STATUS& status, std::uint32_t waited) {
  StatusRecord record = MakeStatus(status::ServiceStopTimeout);
  if (ZorException* exception = record.MutableException()) {
    AddParameter(*exception, L"%NAME%", name);
    AddParameter(*exception, L"%CHECK_POINT%", static_cast<std::int32_t>(status.dwCheckPoint));
    AddParameter(*exception, L"%WAIT_HINT%", static_cast<std::int32_t>(status.dwWaitHint));
    AddParameter(*exception, L"%WAIT_TIME%", static_cast<std::int32_t>(waited));
  }
  return record;
}

// A pair of handles for one by-name operation, closed service first.
struct ServicePair {
  ServiceManagerHandle manager;
  ServiceHandle service{manager};

  StatusRecord Open(std::wstring_view name) {
    if (StatusRecord opened = manager.Open({}, SC_MANAGER_CONNECT); opened.Failed()) return PassOn(opened);
    if (StatusRecord opened = service.Open(name, SERVICE_QUERY_STATUS); opened.Failed()) return PassOn(opened);
    return {};
  }
  ~ServicePair() {
    service.Close();
    manager.Close();
  }
};

}  // namespace

ServiceControlHandle::~ServiceControlHandle() { Close(); }

void ServiceControlHandle::Adopt(SC_HANDLE handle, DWORD access) {
  Close();
  handle_ = handle;
  granted_ = access;
}

StatusRecord ServiceControlHandle::Close() {
  if (handle_ == nullptr) return {};
  const BOOL closed = Win32().CloseServiceHandle(handle_);
  const DWORD error = closed ? 0 : GetLastError();
  handle_ = nullptr;
  granted_ = 0;
  return MakeStatus(StatusFromLastError(error));
}

StatusRecord ServiceControlHandle::EnsureAccess(DWORD required) {
  if ((required & ~granted_) == 0) return {};
  return Reopen(granted_ | required);
}

StatusRecord ServiceManagerHandle::Open(std::wstring_view machineName, DWORD access) {
  const std::wstring machine(machineName);
  SC_HANDLE handle = Win32().OpenSCManagerW(machine.empty() ? nullptr : machine.c_str(), nullptr, access);
  if (handle == nullptr) return LastErrorStatus();
  Adopt(handle, access);
  machineName_ = machine;
  return {};
}

StatusRecord ServiceManagerHandle::Reopen(DWORD access) { return Open(std::wstring(machineName_), access); }

StatusRecord ServiceHandle::Open(std::wstring_view serviceName, DWORD access) {
  // Windows refuses longer names; not every service manager does, and none
  // may be asked for a name that no service can have.
  if (serviceName.size() > kMaxServiceNameLength) return MakeStatus(StatusFromLastError(ERROR_INVALID_NAME));
  const std::wstring name(serviceName);
  SetLastError(0);
  SC_HANDLE handle = Win32().OpenServiceW(manager_.Handle(), name.c_str(), access);
  if (handle == nullptr) return LastErrorStatus();
  Adopt(handle, access);
  serviceName_ = name;
  return {};
}

StatusRecord ServiceHandle::Reopen(DWORD access) {
  const StatusRecord reopened = Open(std::wstring(serviceName_), access);
  if (!reopened.Failed()) return reopened;
  StatusRecord failure = MakeStatusFromCause(status::ServiceReopenFailed, reopened);
  if (ZorException* exception = failure.MutableException()) AddParameter(*exception, L"%NAME%", serviceName_);
  return failure;
}

StatusRecord ServiceHandle::QueryStatus(SERVICE_STATUS& status) {
  if (StatusRecord access = EnsureAccess(SERVICE_QUERY_STATUS); access.Failed()) return PassOn(access);
  SERVICE_STATUS read{};
  if (!Win32().QueryServiceStatus(Handle(), &read)) return LastErrorStatus();
  status = read;
  return {};
}

StatusRecord ServiceHandle::IsActive(bool& active) {
  SERVICE_STATUS status{};
  if (StatusRecord queried = QueryStatus(status); queried.Failed()) return PassOn(queried);
  active = IsActiveState(status.dwCurrentState);
  return {};
}

StatusRecord ServiceHandle::SendStopControl(SERVICE_STATUS& status) {
  if (StatusRecord access = EnsureAccess(SERVICE_STOP); access.Failed()) return PassOn(access);
  if (!Win32Changes().ControlService(Handle(), SERVICE_CONTROL_STOP, &status)) return LastErrorStatus();
  return {};
}

StatusRecord ServiceHandle::StopAndWait() {
  bool started = false;
  bool controlSent = false;
  std::uint32_t lastCheckPoint = 0;
  std::uint32_t startTick = 0;
  for (;;) {
    SERVICE_STATUS status{};
    if (StatusRecord queried = QueryStatus(status); queried.Failed()) return PassOn(queried);
    if (status.dwCurrentState == kServiceStateStopped) return {};

    // A service that took the control and still reports anything but
    // stopping is asked again, but no faster than a stopping one is polled
    // and no longer than one that never advances is waited for.
    const bool waiting = status.dwCurrentState == kServiceStateStopPending || controlSent;
    if (waiting) {
      const std::uint32_t now = TickCount();
      if (!started || status.dwCheckPoint > lastCheckPoint) {
        lastCheckPoint = status.dwCheckPoint;
        startTick = now;
        started = true;
      } else if (StopWaitExpired(now, startTick, status.dwWaitHint)) {
        return StopTimeout(serviceName_, status, now - startTick);
      }
      SleepMilliseconds(StopPollDelay(status.dwWaitHint));
      if (status.dwCurrentState == kServiceStateStopPending) continue;
    }

    SERVICE_STATUS answer{};
    const StatusRecord sent = SendStopControl(answer);
    if (sent.Code() == status::ShutdownInProgress) return {};
    if (sent.Failed()) return PassOn(sent);
    controlSent = true;
  }
}

StatusRecord ServiceHandle::Delete() {
  if (StatusRecord access = EnsureAccess(DELETE); access.Failed()) return PassOn(access);
  SetLastError(0);
  if (Win32Changes().DeleteService(Handle())) {
    CountRemoval(true);
    return {};
  }
  const DWORD error = GetLastError();
  if (error == win32::ErrorServiceMarkedForDelete) return {};
  CountRemoval(false);
  return MakeStatus(StatusFromLastError(error));
}

StatusRecord QueryServiceStatusByName(std::wstring_view name, SERVICE_STATUS& status) {
  ServicePair pair;
  if (StatusRecord opened = pair.Open(name); opened.Failed()) return opened;
  return pair.service.QueryStatus(status);
}

StatusRecord IsServicePresent(std::wstring_view name, bool& present) {
  ServicePair pair;
  const StatusRecord opened = pair.Open(name);
  if (!opened.Failed()) {
    present = true;
    return {};
  }
  if (opened.Code() == status::ServiceDoesNotExist) {
    present = false;
    return {};
  }
  return opened;
}

StatusRecord StopServiceByName(std::wstring_view name) {
  ServicePair pair;
  if (StatusRecord opened = pair.Open(name); opened.Failed()) return opened;
  return pair.service.StopAndWait();
}

StatusRecord DeleteServiceByName(std::wstring_view name) {
  ServicePair pair;
  if (StatusRecord opened = pair.Open(name); opened.Failed()) return opened;
  bool active = false;
  if (StatusRecord checked = pair.service.IsActive(active); checked.Failed()) return PassOn(checked);
  if (active) {
    if (StatusRecord stopped = pair.service.StopAndWait(); stopped.Failed()) return PassOn(stopped);
  }
  return pair.service.Delete();
}

}  // namespace zor
