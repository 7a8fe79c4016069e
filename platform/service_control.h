#pragma once
// The service control manager of this machine, as the removal stages use it:
// handles opened with the fewest rights the next call needs and reopened
// with more on demand, and four operations on a service given by name. Every
// call goes through the Win32 tables; the stop wait reads the tick count and
// sleeps through the native table, which is the clock a test replaces.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/status_record.h"

namespace zor {

inline constexpr DWORD kServiceStateStopped = SERVICE_STOPPED;
inline constexpr DWORD kServiceStateStopPending = SERVICE_STOP_PENDING;

// The longest service name Windows accepts.
inline constexpr std::size_t kMaxServiceNameLength = 256;

// Anything but stopped: running, or on its way in or out.
constexpr bool IsActiveState(DWORD state) { return state >= 2 && state <= 7; }

class ServiceControlHandle {
 public:
  ServiceControlHandle() = default;
  ServiceControlHandle(const ServiceControlHandle&) = delete;
  ServiceControlHandle& operator=(const ServiceControlHandle&) = delete;
  virtual ~ServiceControlHandle();

  // Opens the object anew with `access`.
  virtual StatusRecord Reopen(DWORD access) = 0;

  // Forgets the handle and its rights even when closing it fails.
  StatusRecord Close();
  // Reopens with the rights held and `required` when any are missing, so a
  // handle never loses a right it once had.
  StatusRecord EnsureAccess(DWORD required);

  SC_HANDLE Handle() const { return handle_; }
  DWORD GrantedAccess() const { return granted_; }

 protected:
  // Keeps a newly opened handle, closing the one held before.
  void Adopt(SC_HANDLE handle, DWORD access);

 private:
  SC_HANDLE handle_ = nullptr;
  DWORD granted_ = 0;
};

class ServiceManagerHandle final : public ServiceControlHandle {
 public:
  // An empty name is the local machine.
  StatusRecord Open(std::wstring_view machineName, DWORD access);
  StatusRecord Reopen(DWORD access) override;

 private:
  std::wstring machineName_;
};

class ServiceHandle final : public ServiceControlHandle {
 public:
  // The manager must stay open for as long as this handle may be reopened.
  explicit ServiceHandle(ServiceManagerHandle& manager) : manager_(manager) {}

  StatusRecord Open(std::wstring_view serviceName, DWORD access);
  // A failure is ServiceReopenFailed with the underlying one as its cause.
  StatusRecord Reopen(DWORD access) override;

  StatusRecord QueryStatus(SERVICE_STATUS& status);
  StatusRecord IsActive(bool& active);
  StatusRecord SendStopControl(SERVICE_STATUS& status);
  // Stops the service and waits until it has stopped: as long as its check
  // point advances, and otherwise its wait hint and 80 s more.
  StatusRecord StopAndWait();
  // A service already marked for deletion counts as deleted.
  StatusRecord Delete();

  const std::wstring& Name() const { return serviceName_; }

 private:
  ServiceManagerHandle& manager_;
  std::wstring serviceName_;
};

// Each opens its own pair of handles (manager for SC_MANAGER_CONNECT, then
// the service for SERVICE_QUERY_STATUS) and closes both before it returns,
// so they may run on many threads at once.
StatusRecord QueryServiceStatusByName(std::wstring_view name, SERVICE_STATUS& status);
// An unknown name is no failure: `present` is false and the call succeeds.
StatusRecord IsServicePresent(std::wstring_view name, bool& present);
StatusRecord StopServiceByName(std::wstring_view name);
// Stops an active service first; one that does not stop is not deleted.
StatusRecord DeleteServiceByName(std::wstring_view name);

}  // namespace zor
